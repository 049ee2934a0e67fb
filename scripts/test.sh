#!/bin/sh
# Builds KORU with its tests and test cartridges and runs the whole suite,
# then builds the fuzz harnesses (clang, sanitizers) and gives each a short
# fixed run.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
ctest --test-dir build --output-on-failure -j2
cmake --preset fuzz
cmake --build --preset fuzz
ctest --preset fuzz -j2
