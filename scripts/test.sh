#!/usr/bin/env bash
# Builds everything with the tests under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test: the PostgreSQL ones against a
# throwaway server, the screen tests beside a virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh

ensure_packages "${KELVORA_TEST_PACKAGES[@]}"

# Unformatted code fails before anything is built.
scripts/check-format.sh

cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVORA_SANITIZE=ON -DKELVORA_TESTS=ON
cmake --build build-test

# The fuzz harnesses on their corpus plus a few seconds each; a finding fails.
scripts/fuzz.sh --ci

# Undefined behaviour stops the test (-fno-sanitize-recover); show where.
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

cd build-test
exec xvfb-run -a ../scripts/with-postgres.sh \
  ctest --output-on-failure -j2 --timeout 900
