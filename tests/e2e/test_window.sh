#!/usr/bin/env bash
# The real game in a real window: keys typed through the X server, the
# window read back and compared with text drawn by the game's own font, and
# both ways out (Escape, closing the window) ending with exit code 0.
# Usage: test_window.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/harness.sh"
start_xserver

start_game
wait_for_text 40 380 "map_sx=32 map_sy=32" 60 || fail "first status line never showed map_sx=32 map_sy=32"
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
    [ "$moved" -eq 0 ] && hold=$(awk -v h="$hold" 'BEGIN { print h * 1.6 }')
    [ "$moved" -gt 1 ] && hold=$(awk -v h="$hold" 'BEGIN { print h / 1.6 }')
done
shows 40 380 "map_sx=33 map_sy=32" || fail "one Right arrow did not give \"map_sx=33 map_sy=32\" (last read: $value)"
ok "one Right arrow scrolls to map_sx=33 map_sy=32"

# F1 deals a new game in every frame while held: the view is back at 32, 32.
xdotool keydown F1
wait_for_text 40 380 "map_sx=32 map_sy=32" 10 || fail "F1 did not deal a new game"
xdotool keyup F1
ok "F1 deals a new game"

# H flips the help once per frame while down, each time with a 400 ms pause.
hold=0.06
for _ in $(seq 6); do
    hold_key h "$hold"
    wait_for_text 40 400 "F1 start new game." 2 && break
    hold=$(awk -v h="$hold" 'BEGIN { print h * 1.5 }')
done
shows 40 400 "F1 start new game." || fail "H did not bring up the help text"
shows 40 420 "VARNHOLDSKIRMISHBUILD0042B HELP" || fail "help title missing"
shows 40 200 "M move window." || fail "last help line missing"
ok "H shows the help text"

quit_with_escape "first run"
ok "Escape ends the game with exit code 0"

start_game
wait_for_text 40 380 "map_sx=32 map_sy=32" 60 || fail "second run never showed its status line"
"$check" close "$window" || fail "could not ask the window to close"
wait_for_exit 30 || fail "closing the window did not end the game"
[ "$exit_code" -eq 0 ] || fail "exit code $exit_code after the window was closed"
grep -q "ERROR" "$work/game.log" && fail "errors reported"
ok "closing the window ends the game with exit code 0"
finish
