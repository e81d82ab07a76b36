# Debian packages the build and the tests need, and a function that installs
# the missing ones. Sourced by demo.sh and test.sh.

# Build and run: Qt with its SQLite and PostgreSQL drivers and the offscreen and
# X11 platforms (not pulled in when recommends are off); Noto for the Georgian
# capital letters; LibreOffice Calc with its SDK for the bill printout and the
# report export (not the -nogui Calc: it has no printers). The data layer reads
# results through libsqlite3 and libpq directly, hence their headers. CPack's
# Debian package needs file and dpkg-dev (dpkg-shlibdeps) for the libraries'
# dependencies.
KELVORA_BUILD_PACKAGES=(
  qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql qt6-qpa-plugins libsqlite3-dev libpq-dev
  fonts-noto-core cmake ninja-build g++
  libreoffice-calc libreoffice-dev libreoffice-dev-common
  file dpkg-dev
)
# Tests: a throwaway PostgreSQL server and an X server for screen tests; git
# and clang-format for the format check; clang and its fuzzer runtime for the
# fuzz harnesses; the package test makes the Debian package (fakeroot) and
# checks it with lintian and desktop-file-validate; the bill test reads the
# printed PDF's text with pdftotext.
KELVORA_TEST_PACKAGES=(
  "${KELVORA_BUILD_PACKAGES[@]}"
  postgresql xvfb xauth clang-format git poppler-utils
  clang libclang-rt-14-dev
  fakeroot lintian desktop-file-utils
)

# Installs those of the given packages that are not installed yet.
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  local as_root=()
  if [ "$(id -u)" != 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "Missing packages: ${missing[*]}; install them as root and run again." >&2
      exit 1
    fi
    as_root=(sudo)
  fi
  echo "Installing ${missing[*]}" >&2
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q

  # The tests need PostgreSQL's programs only, and start a throwaway server of
  # their own: keep the package from creating and starting the system cluster
  # (15/main on port 5432) when it is installed here for the first time.
  if [[ " ${missing[*]} " == *" postgresql "* ]] && [ ! -d /etc/postgresql ]; then
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
      apt-get install -y -q --no-install-recommends postgresql-common
    "${as_root[@]}" pg_conftool /etc/postgresql-common/createcluster.conf set create_main_cluster false
  fi
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${missing[@]}"
}
