#!/bin/sh
# Builds KORU and opens the desktop program on a cartridge (our own demo when
# none is given). KORU.ini is read from and written to the current folder.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
exec build/frontend/koru "${1:-build/cartridges/demo.gba}"
