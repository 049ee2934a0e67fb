#!/bin/sh
# Builds KORU (Release) and runs the two CPU benchmark cartridges headless,
# printing millions of emulated instructions per second for each.
#   bench_arm:   13 ARM instructions per iteration, from internal work RAM
#   bench_thumb: 16 THUMB instructions per iteration, from the cartridge ROM
# Both run 20 million iterations and then store 0x600DC0DE at 0x03000000.
# Then two frame-rate benchmarks, 3600 frames each, in frames per second:
#   bench_vblank: a little work per frame, then VBlankIntrWait (most games)
#   bench_busy:   never halts, the CPU runs every cycle of every frame
# Set BUILD_DIR to use another build directory than build/.
set -e
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" --target koru-headless cartridge_bench_arm cartridge_bench_thumb cartridge_bench_vblank \
    cartridge_bench_busy >/dev/null

ITERATIONS=20000000
run_bench() {
    name="$1"
    per_iteration="$2"
    output=$("$BUILD_DIR/frontend/headless/koru-headless" --bench --frames 1000000 \
        --until 03000000:600DC0DE "$BUILD_DIR/cartridges/$name.gba")
    seconds=$(echo "$output" | sed -n 's/.*seconds=\([0-9.]*\).*/\1/p')
    frames=$(echo "$output" | sed -n 's/.*frames=\([0-9]*\).*/\1/p')
    awk -v name="$name" -v n="$ITERATIONS" -v k="$per_iteration" -v s="$seconds" -v f="$frames" 'BEGIN {
        if (s <= 0) { printf "%-12s no time measured\n", name; exit }
        printf "%-12s %4.0f MIPS  (%d x %d instructions in %.3f s, %d frames)\n", name, n * k / s / 1e6, n, k, s, f
    }'
}
run_bench bench_arm 13
run_bench bench_thumb 16

FRAMES=3600
run_frame_bench() {
    name="$1"
    output=$("$BUILD_DIR/frontend/headless/koru-headless" --bench --frames "$FRAMES" "$BUILD_DIR/cartridges/$name.gba")
    seconds=$(echo "$output" | sed -n 's/.*seconds=\([0-9.]*\).*/\1/p')
    frames=$(echo "$output" | sed -n 's/.*frames=\([0-9]*\).*/\1/p')
    awk -v name="$name" -v s="$seconds" -v f="$frames" 'BEGIN {
        if (s <= 0) { printf "%-12s no time measured\n", name; exit }
        printf "%-12s %6.0f frames/s  (%d frames in %.3f s, %.1f x real time)\n", name, f / s, f, s, f / s / 59.73
    }'
}
run_frame_bench bench_vblank
run_frame_bench bench_busy
