#!/bin/sh
# The headless runner when what it writes does not fit: under a file size
# limit (ulimit -f) the battery file cannot be written. The runner must not
# be killed by SIGXFSZ halfway through, must keep the old save whole and
# leave nothing beside it, say so once (the game retries after every quiet
# spell and again at the end) and exit with status 3. A MIDI log onto a full
# device (/dev/full) is said and ends in status 3 as well.
#   save_faults_test.sh HEADLESS SAVING_CARTRIDGE
set -u
HEADLESS=$(readlink -f "$1")
CARTRIDGE=$(readlink -f "$2")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() {
    echo "FAIL: $*"
    [ -f "$WORK/errors" ] && sed 's/^/stderr: /' "$WORK/errors"
    exit 1
}
cd "$WORK" || exit 1
mkdir game
cp "$CARTRIDGE" game/game.gba
# An old save that the game's new one differs from.
awk 'BEGIN { for (i = 0; i < 512; i++) printf "%c", 65 + i % 26 }' >game/game.sav
cp game/game.sav old.sav

# 16 blocks are 8 or 16 KB depending on the shell: the new file is 66048 bytes.
(ulimit -f 16 && exec "$HEADLESS" --frames 300 game/game.gba) >output 2>errors
status=$?
[ "$status" -eq 3 ] || fail "file size limit: status $status, expected 3"
[ "$(grep -c 'game\.sav' errors)" -eq 1 ] || fail "file size limit: the failure was not said exactly once"
cmp -s game/game.sav old.sav || fail "file size limit: the old save changed"
[ "$(ls -A game | tr '\n' ' ')" = "game.gba game.sav " ] || fail "file size limit: left behind: $(ls -A game)"
echo "file size limit: status 3, said once, old save kept, nothing left behind"

if [ -w /dev/full ]; then
    "$HEADLESS" --no-battery --frames 30 --midi-log /dev/full game/game.gba >output 2>errors
    status=$?
    [ "$status" -eq 3 ] || fail "MIDI log on a full device: status $status, expected 3"
    grep -q 'cannot write /dev/full' errors || fail "MIDI log on a full device: not said"
    echo "MIDI log on a full device: status 3, said"
fi
