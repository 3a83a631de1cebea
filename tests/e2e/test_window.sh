#!/usr/bin/env bash
# The real game in a real window: keys typed through the X server, the
# window read back and compared with text drawn by the game's own font, and
# both ways out (Escape, closing the window) ending with exit code 0.
# Usage: test_window.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/harness.sh"
start_xserver

start_game
expect_status_lines "first run"

scroll_one_tile_right || fail "one Right arrow did not give \"map_sx=33 map_sy=32\""
ok "one Right arrow scrolls to map_sx=33 map_sy=32"

# F1 deals a new game in every frame while held: the view is back at 32, 32.
xdotool keydown F1
wait_for_text 40 380 "map_sx=32 map_sy=32" 10 || fail "F1 did not deal a new game"
xdotool keyup F1
ok "F1 deals a new game"

open_help || fail "H did not bring up the help text"
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
