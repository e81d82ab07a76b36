#!/usr/bin/env bash
# Lists the tracked C++ files that clang-format would change under the
# project's .clang-format and exits non-zero if there are any.
set -euo pipefail
cd "$(dirname "$0")/.."

format=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$format" ]; then
  echo "clang-format-14 is not installed" >&2
  exit 2
fi

# The files come from git: without it, or outside a work tree, there is nothing
# to look at, and a check that did not look must not pass.
if ! command -v git >/dev/null; then
  echo "git is not installed: cannot list the C++ files to check" >&2
  exit 2
fi
files=()
listing=$(mktemp)
trap 'rm -f "$listing"' EXIT
if ! git ls-files -z -- '*.cpp' '*.h' >"$listing"; then
  echo "git cannot list the C++ files here (not a git work tree?)" >&2
  exit 2
fi
while IFS= read -r -d '' file; do
  files+=("$file")
done <"$listing"
if [ ${#files[@]} -eq 0 ]; then
  echo "git lists no C++ files: nothing was checked" >&2
  exit 2
fi

unformatted=()
for file in "${files[@]}"; do
  if ! "$format" --style=file --dry-run -Werror "$file" >/dev/null 2>&1; then
    unformatted+=("$file")
  fi
done

if [ ${#unformatted[@]} -gt 0 ]; then
  echo "not formatted (${#unformatted[@]} files):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
echo "all ${#files[@]} C++ files formatted"
