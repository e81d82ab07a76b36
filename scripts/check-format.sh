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

unformatted=()
while IFS= read -r -d '' file; do
  if ! "$format" --style=file --dry-run -Werror "$file" >/dev/null 2>&1; then
    unformatted+=("$file")
  fi
done < <(git ls-files -z -- '*.cpp' '*.h')

if [ ${#unformatted[@]} -gt 0 ]; then
  echo "not formatted (${#unformatted[@]} files):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
echo "all C++ files formatted"
