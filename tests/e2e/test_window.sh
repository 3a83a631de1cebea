#!/usr/bin/env bash
# The real game in a real window on a virtual X server: keys typed through
# the X server, the window read back from a screen dump and compared with
# text drawn by the game's own font, and both ways out (Escape, closing the
# window) ending with exit code 0.
# Usage: test_window.sh BUILD_DIR SOURCE_DIR
set -u

build=$(cd "$1" && pwd)
game="$build/varnhold"
check="$build/tools/screencheck/screencheck"
work=$(mktemp -d)
xvfb_pid=""
game_pid=""

fail() {
    echo "FAIL: $*"
    [ -f "$work/game.log" ] && sed 's/^/  game: /' "$work/game.log"
    exit 1
}

cleanup() {
    [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

for tool in Xvfb xdotool xwd; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (packages xvfb, xdotool, x11-apps)"
done
[ -x "$game" ] || fail "no game at $game"
[ -x "$check" ] || fail "no screencheck at $check"
ldd "$game" | grep -q libSDL2 || fail "the game was built without SDL2: it has no window to test"

# ---- the X server -------------------------------------------------------------
# Xvfb picks a free display itself and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
export SDL_AUDIODRIVER=dummy
# System libraries (X11, Mesa) keep memory to the end; a sanitizer build is
# judged on its own faults, not on theirs.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"

# ---- helpers ---------------------------------------------------------------------
window=""

start_game() {
    (cd "$build" && exec ./varnhold) >"$work/game.log" 2>&1 &
    game_pid=$!
    window=""
    for _ in $(seq 300); do
        kill -0 "$game_pid" 2>/dev/null || fail "the game ended before its window appeared"
        window=$(xdotool search --name '^VARNHOLD$' 2>/dev/null | head -n1)
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || fail "no VARNHOLD window within 30 s"
    # Keys go to the focused window; without a window manager we focus it ourselves.
    xdotool mousemove 320 240
    xdotool windowfocus "$window" 2>/dev/null
}

dump() { xwd -id "$window" -silent >"$work/screen.xwd" 2>/dev/null; }

shows() { dump && "$check" shows "$work/screen.xwd" "$1" "$2" "$3" >/dev/null; }

# Waits (up to $4 seconds) until the text is on the screen.
wait_for_text() {
    local tries=$(($4 * 10))
    for _ in $(seq "$tries"); do
        shows "$1" "$2" "$3" && return 0
        sleep 0.1
    done
    return 1
}

scroll_x() { dump && "$check" read "$work/screen.xwd" 40 380 "map_sx=%d map_sy=32" 0 99; }

hold_key() { xdotool keydown "$1" sleep "$2" keyup "$1"; }

# Waits (up to $1 seconds) for the game to end; sets exit_code.
wait_for_exit() {
    local tries=$(($1 * 10))
    for _ in $(seq "$tries"); do
        if ! kill -0 "$game_pid" 2>/dev/null; then
            wait "$game_pid"
            exit_code=$?
            game_pid=""
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# ---- first run: keys, status, help, Escape ---------------------------------------
start_game
wait_for_text 40 380 "map_sx=32 map_sy=32" 30 || fail "first status line never showed map_sx=32 map_sy=32"
shows 40 400 "Press H for help." || fail "no \"Press H for help.\" line"

# Input is polled: a press must last into a frame, and each pass that finds
# the arrow still held scrolls once more after a 100 ms pause. The hold that
# gives exactly one tile depends on this machine's frame time, so it is found
# by trying, with Left to step back after an overshoot.
hold=0.05
value=$(scroll_x) || fail "cannot read the scroll position"
for _ in $(seq 12); do
    [ "$value" = 33 ] && break
    if [ "$value" -lt 33 ]; then hold_key Right "$hold"; else hold_key Left "$hold"; fi
    sleep 0.3
    before=$value
    value=$(scroll_x) || fail "cannot read the scroll position after an arrow"
    moved=$((value > before ? value - before : before - value))
    if [ "$moved" -eq 0 ]; then
        hold=$(awk -v h="$hold" 'BEGIN { print h * 1.6 }')
    elif [ "$moved" -gt 1 ]; then
        hold=$(awk -v h="$hold" 'BEGIN { print h / 1.6 }')
    fi
done
[ "$value" = 33 ] || fail "one Right arrow did not give map_sx=33 (last read: $value)"
shows 40 380 "map_sx=33 map_sy=32" || fail "status line is not \"map_sx=33 map_sy=32\""
echo "ok: one Right arrow scrolls to map_sx=33 map_sy=32"

# F1 deals a new game in every frame while held: the view is back at 32, 32.
xdotool keydown F1
wait_for_text 40 380 "map_sx=32 map_sy=32" 10 || fail "F1 did not deal a new game"
xdotool keyup F1
echo "ok: F1 deals a new game"

# H flips the help once per frame while down, each time with a 400 ms pause.
helped=no
hold=0.06
for _ in $(seq 6); do
    hold_key h "$hold"
    if wait_for_text 40 400 "F1 start new game." 2; then helped=yes; break; fi
    hold=$(awk -v h="$hold" 'BEGIN { print h * 1.5 }')
done
[ "$helped" = yes ] || fail "H did not bring up the help text"
shows 40 420 "VARNHOLDSKIRMISHBUILD0042B HELP" || fail "help title missing"
shows 40 200 "M move window." || fail "last help line missing"
echo "ok: H shows the help text"

xdotool keydown Escape
wait_for_exit 20 || fail "Escape did not end the game"
xdotool keyup Escape
[ "$exit_code" -eq 0 ] || fail "exit code $exit_code after Escape"
grep -q "ERROR" "$work/game.log" && fail "errors reported"
echo "ok: Escape ends the game with exit code 0"

# ---- second run: the window closed from outside ------------------------------------
start_game
wait_for_text 40 380 "map_sx=32 map_sy=32" 30 || fail "second run never showed its status line"
"$check" close "$window" || fail "could not ask the window to close"
wait_for_exit 20 || fail "closing the window did not end the game"
[ "$exit_code" -eq 0 ] || fail "exit code $exit_code after the window was closed"
grep -q "ERROR" "$work/game.log" && fail "errors reported"
echo "ok: closing the window ends the game with exit code 0"
echo "4 passed, 0 failed"
