#!/bin/sh
# Builds KORU with its tests and test cartridges and runs the whole suite,
# then builds the fuzz harnesses (clang, sanitizers) and gives each a short
# fixed run. The packages are installed first (scripts/install-deps.sh, which
# runs apt-get only when one is missing); KORU_SKIP_INSTALL=1 skips that
# step altogether, for a machine set up by hand.
set -e
cd "$(dirname "$0")/.."
[ "${KORU_SKIP_INSTALL:-0}" = 1 ] || sh scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
ctest --test-dir build --output-on-failure -j2
cmake --preset fuzz
cmake --build --preset fuzz
ctest --preset fuzz -j2
