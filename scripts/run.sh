#!/bin/sh
# Builds KORU and runs a cartridge headless (our own demo when none is given).
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
CARTRIDGE="${1:-build/cartridges/demo.gba}"
[ $# -gt 0 ] && shift
exec build/frontend/headless/koru-headless --regs --bench "$@" "$CARTRIDGE"
