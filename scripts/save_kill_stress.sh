#!/bin/sh
# Kills the headless runner with SIGKILL at random moments while it saves,
# KILLS times, and checks after every kill that nothing was torn or left
# behind: the battery file holds the old bytes or the new ones, whole; the
# snapshot is the old or the new one and loads; and the temporary files a
# kill leaves in the middle of a write are gone after the next start. For
# occasional use (a few minutes for the default 300 kills), not for CI.
#
#   sh scripts/save_kill_stress.sh [KILLS] [BUILD_FOLDER]
set -u
KILLS=${1:-300}
BUILD=$(readlink -f "${2:-build}")
HEADLESS=$BUILD/frontend/headless/koru-headless
CARTRIDGE=$BUILD/cartridges/save_eeprom.gba
[ -x "$HEADLESS" ] && [ -f "$CARTRIDGE" ] || { echo "build KORU in $BUILD first"; exit 2; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 2
fail() {
    echo "FAIL after kill $kill: $*"
    ls -lA
    exit 1
}

cp "$CARTRIDGE" game.gba
# The old save differs from the one the game writes over it; the game's
# write and the snapshot at the end happen within the run's first 100 ms.
awk 'BEGIN { for (i = 0; i < 512; i++) printf "%c", 65 + i % 26 }' >old.sav
run() { "$HEADLESS" --frames 120 --no-default-state --save-state game.sta game.gba >/dev/null 2>&1; }
cp old.sav game.sav
run || { echo "the reference run failed"; exit 2; }
cp game.sav new.sav
cp game.sta new.sta
cp game.sta old.sta

kill=0
left=0
while [ "$kill" -lt "$KILLS" ]; do
    kill=$((kill + 1))
    cp old.sav game.sav
    cp old.sta game.sta
    delay=$(awk -v seed="$kill" 'BEGIN { srand(seed * 7919); printf "%.3f", rand() * 0.08 }')
    "$HEADLESS" --frames 120 --no-default-state --save-state game.sta game.gba >/dev/null 2>&1 &
    pid=$!
    sleep "$delay"
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    cmp -s game.sav old.sav || cmp -s game.sav new.sav || fail "game.sav is neither old nor new"
    cmp -s game.sta old.sta || cmp -s game.sta new.sta || fail "game.sta is neither old nor new"
    count=$(ls -A | grep -c 'koru-')
    left=$((left + count))
    # The next start removes what the kill left; this run may end normally.
    run
    [ "$(ls -A | grep -c 'koru-')" -eq 0 ] || fail "temporary files survived the next start"
    "$HEADLESS" --frames 1 --no-battery --load-state game.sta game.gba >/dev/null 2>&1 || fail "game.sta does not load"
done
echo "$KILLS kills: no torn file, $left temporary files left by kills, all removed at the next start"
