#!/bin/sh
# Smoke test of the desktop program on an X server of its own: koru starts on
# the smoke cartridge, shows its menu bar and the picture (four quadrants:
# red, green / blue, white) at 2:1, then quits on Escape, leaving the
# battery file and KORU.ini behind. Started again, it quits just as orderly
# on SIGTERM (a logout, kill). (A cartridge in a folder that takes no files
# saving in the per-user folder is the save faults unit test's.)
#   smoke_test.sh KORU CARTRIDGE
set -u
KORU=$(readlink -f "$1")
CARTRIDGE=$(readlink -f "$2")
WORK=$(mktemp -d)
XVFB_PID=
KORU_PID=
finish() {
    [ -n "$KORU_PID" ] && kill "$KORU_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap finish EXIT
fail() {
    echo "FAIL: $*"
    [ -f "$WORK/koru.log" ] && sed 's/^/koru: /' "$WORK/koru.log"
    exit 1
}
for tool in Xvfb xwd convert xdotool; do
    command -v $tool >/dev/null || fail "$tool is not installed (scripts/install-deps.sh)"
done

# --help needs no display and ends at once.
"$KORU" --help >"$WORK/help.txt" 2>&1 || fail "koru --help did not exit 0"
grep -q "^usage: koru" "$WORK/help.txt" || fail "koru --help printed no usage"
echo "--help: usage, status 0"

# Nothing of the test lands in the real home.
HOME=$WORK
XDG_CONFIG_HOME=$WORK/config
XDG_DATA_HOME=$WORK/data
export HOME XDG_CONFIG_HOME XDG_DATA_HOME

cp "$CARTRIDGE" "$WORK/smoke.gba"
printf '[KORU]\nWidth=480\nHeight=320\nX=0\nY=0\nSoundRate=0\n' >"$WORK/KORU.ini"

# Xvfb picks a free display number and writes it to descriptor 3. Another
# X server starting at the same moment (a second test run on the machine)
# can win the same number, and ours then ends; so the server must answer a
# client before the test goes on, and a lost race starts a new one. Without
# -noreset the server resets when its last client leaves, and the second
# start of koru would find it closed for a moment.
start_xvfb() {
    : >"$WORK/display"
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$WORK/display" 2>"$WORK/xvfb.log" &
    XVFB_PID=$!
    for i in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
    [ -s "$WORK/display" ] || return 1
    DISPLAY=:$(cat "$WORK/display")
    export DISPLAY
    for i in $(seq 50); do
        kill -0 "$XVFB_PID" 2>/dev/null || return 1
        xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}
for attempt in 1 2 3; do
    start_xvfb && break
    kill "$XVFB_PID" 2>/dev/null
    XVFB_PID=
    [ "$attempt" = 3 ] && { cat "$WORK/xvfb.log"; fail "Xvfb did not start"; }
done

cd "$WORK"

# The colour of one screen pixel as "R,G,B" (0-255).
pixel() {
    xwd -root -silent | convert xwd:- -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
        sed -n 's/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p' | tail -1
}
is_colour() {  # R,G,B against r g b with 0/1 meaning low/high
    echo "$1" | awk -F, -v r="$2" -v g="$3" -v b="$4" '
        function ok(v, want) { return want ? v >= 200 : v <= 60 }
        { exit !(ok($1, r) && ok($2, g) && ok($3, b)) }'
}

# Starts koru and waits for its picture. The window's client area starts
# below the menu bar, at most 60 pixels down; the picture's lower-right
# quadrant is white from there on. Frames arrive once the picture shows.
start_koru() {
    "$KORU" smoke.gba >"$WORK/koru.log" 2>&1 &
    KORU_PID=$!
    picture_seen=
    for i in $(seq 150); do
        kill -0 "$KORU_PID" 2>/dev/null || fail "koru ended early"
        if is_colour "$(pixel 360 300)" 1 1 1 && is_colour "$(pixel 120 300)" 0 0 1; then
            picture_seen=yes
            break
        fi
        sleep 0.1
    done
    [ -n "$picture_seen" ] || fail "no picture in the window (bottom quadrants: $(pixel 120 300) $(pixel 360 300))"
}

# Waits for koru to end after $1 and checks that it quit in order.
check_quit() {
    for i in $(seq 100); do kill -0 "$KORU_PID" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$KORU_PID" 2>/dev/null && fail "koru did not quit on $1"
    wait "$KORU_PID"
    status=$?
    KORU_PID=
    [ "$status" -eq 0 ] || fail "koru ended with status $status after $1"
    [ "$(head -c 10 smoke.sav 2>/dev/null)" = "KORU SMOKE" ] || fail "smoke.sav was not written on $1"
    grep -q "^Cartridge=$WORK/smoke.gba\$" KORU.ini || fail "KORU.ini has no absolute Cartridge key after $1"
    echo "$1: status 0, battery file and KORU.ini written"
}

start_koru
is_colour "$(pixel 120 100)" 1 0 0 || fail "top-left quadrant is $(pixel 120 100), not red"
is_colour "$(pixel 360 100)" 0 1 0 || fail "top-right quadrant is $(pixel 360 100), not green"
is_colour "$(pixel 470 5)" 1 1 1 || fail "no menu bar at the top of the window ($(pixel 470 5))"
echo "picture and menu bar seen"

xdotool key Escape
check_quit Escape

rm smoke.sav
sed -i '/^Cartridge=/d' KORU.ini
start_koru
kill -TERM "$KORU_PID"
check_quit SIGTERM

