#!/bin/sh
# Proves that two builds of koru-headless emulate alike: every cartridge we
# build and the four homebrew games run 3000 frames in each build and must
# leave byte-identical snapshots (compared unpacked) and draw byte-identical
# pictures (every 10th presented frame as a PNG: a snapshot does not hold the
# frame surface); the demo and xniq also record their sound into WAV files
# that must be identical. A change that is meant to leave the emulation as it
# was (a restructuring, a speed-up) runs this against a build of the commit
# it started from:
#
#   git worktree add /tmp/koru-before main    (or any commit)
#   cmake -S /tmp/koru-before -B /tmp/koru-before/build -G Ninja -DCMAKE_BUILD_TYPE=Release
#   cmake --build /tmp/koru-before/build -j2
#   sh scripts/compare_runs.sh /tmp/koru-before/build build
#
# Arguments: the build folder before and after (each with
# frontend/headless/koru-headless); the cartridges are taken from the second
# (CARTRIDGES names another folder). FRAMES overrides the 3000 frames, GAMES
# the folder of the games, SCREENSHOT_EVERY the picture interval (0: no
# pictures).
# Exit status 0 when everything matched, 1 otherwise.
set -u
BEFORE=$(cd "$1" && pwd)
AFTER=$(cd "$2" && pwd)
FRAMES="${FRAMES:-3000}"
SCREENSHOT_EVERY="${SCREENSHOT_EVERY:-10}"
GAMES="${GAMES:-$(dirname "$0")/../../shared/testroms/games}"
CARTRIDGES=$(cd "${CARTRIDGES:-$AFTER/cartridges}" && pwd)
GAMES=$(cd "$GAMES" 2>/dev/null && pwd || echo "$GAMES")
KEYS="200:0x8,210:0,260:0x1,270:0"  # Start at frame 200, then A

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
failures=0
compared=0

# The real-time clock follows the host's time: every run sees the same
# fixed moment, so the clock cartridge runs alike in both builds.
printf '#include <time.h>\ntime_t time(time_t* t) { if (t) *t = 1700000000; return 1700000000; }\n' >"$WORK/fixed_time.c"
cc -shared -fPIC -o "$WORK/fixed_time.so" "$WORK/fixed_time.c" || exit 1

# run BUILD TAG CARTRIDGE [OPTIONS...]: one run in a folder of its own (no
# BIOS image, no battery file, no snapshot of the cartridge's own), at the
# fixed time.
run() {
    build="$1"; tag="$2"; cartridge="$3"; shift 3
    mkdir -p "$WORK/$tag"
    (cd "$WORK/$tag" && LD_PRELOAD="$WORK/fixed_time.so" TZ=UTC "$build/frontend/headless/koru-headless" \
        --no-battery --no-default-state \
        --frames "$FRAMES" "$@" "$cartridge" >/dev/null 2>&1)
}

# verdict WHAT MATCHED: counts one comparison and says how it came out.
verdict() {
    compared=$((compared + 1))
    if [ "$2" = yes ]; then
        echo "same      $1"
    else
        echo "DIFFERENT $1"
        failures=$((failures + 1))
    fi
}

# same KIND NAME CARTRIDGE [OPTIONS...]: what both builds leave, the
# snapshot (KIND state, with the pictures along the way) or the sound
# recording (KIND wav), unpacked.
same() {
    kind="$1"; name="$2"; cartridge="$3"; shift 3
    for side in before after; do
        build=$BEFORE; [ "$side" = after ] && build=$AFTER
        output="$WORK/$side/$name.$kind"
        if [ "$kind" = wav ]; then
            run "$build" "$side" "$cartridge" --sound-rate 44100 --wav "$output" "$@"
        else
            frames="$WORK/$side/$name.frames"
            mkdir -p "$frames"
            if [ "$SCREENSHOT_EVERY" -gt 0 ]; then
                run "$build" "$side" "$cartridge" --save-state "$output.sta" \
                    --screenshot-every "$SCREENSHOT_EVERY:$frames/frame" "$@"
            else
                run "$build" "$side" "$cartridge" --save-state "$output.sta" "$@"
            fi
            gzip -dc "$output.sta" >"$output" 2>/dev/null
        fi
    done
    matched=no
    if [ -s "$WORK/before/$name.$kind" ] && cmp -s "$WORK/before/$name.$kind" "$WORK/after/$name.$kind"; then
        matched=yes
    fi
    verdict "$name.$kind" "$matched"
    if [ "$kind" = state ] && [ "$SCREENSHOT_EVERY" -gt 0 ]; then
        pictures=$(ls "$WORK/before/$name.frames" | wc -l)
        matched=no
        if [ "$pictures" -gt 0 ] && diff -rq "$WORK/before/$name.frames" "$WORK/after/$name.frames" >/dev/null; then
            matched=yes
        fi
        verdict "$name.frames ($pictures pictures)" "$matched"
    fi
}

for cartridge in $(find "$CARTRIDGES" -name '*.gba' | sort); do
    same state "$(basename "$cartridge" .gba)" "$cartridge"
done
for game in "$GAMES"/*.gba; do
    [ -f "$game" ] && same state "$(basename "$game" .gba)" "$game" --keys "$KEYS"
done
same wav demo "$CARTRIDGES/demo.gba" --keys "$KEYS"
[ -f "$GAMES/xniq.gba" ] && same wav xniq "$GAMES/xniq.gba" --keys "$KEYS"

echo "$((compared - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
