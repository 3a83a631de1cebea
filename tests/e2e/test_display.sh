#!/usr/bin/env bash
# The picture enlarged by whole steps on a 1920 x 1080 virtual screen: the
# default window at factor 2 read back one pixel a block, a click landing on the
# tile under the pointer, M dragging the enlarged window, --scale 1 giving
# today's window; full screen centred, the mouse clamped in the bars, Alt+Enter
# back to the window, and the window's close button.
# Usage: test_display.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/harness.sh"
start_xserver 1920x1080

run_game_with() { start_game "$build" "${game_launcher[@]}" ./varnhold "$@"; }

# ---- --scale 1: today's window, pixel for pixel -----------------------------------------
picture_args=()
run_game_with --scale 1
expect_status_lines "--scale 1"
wait_for_geometry "0,0 640x480" 5 || fail "--scale 1 gave the window $(geometry), not 0,0 640x480"
quit_with_escape "--scale 1"
ok "--scale 1 opens today's 640 x 480 window at the top-left corner"

# ---- the default on this screen: factor 2 -------------------------------------------------
run_game_with
wait_for_geometry "0,0 1280x960" 10 || fail "the default window is $(geometry), not 0,0 1280x960"
ok "the default window on 1920 x 1080 is 1280 x 960 at the top-left corner"
picture_args=(--picture 0 0 2)
expect_status_lines "factor 2"
ok "one pixel of each 2 x 2 block shows the status lines glyph for glyph"

# Picture pixel (500, 100) is enlarged at (1000, 200): the cursor tile is
# 32 + trunc(500 / 16 - 20), 32 + trunc(380 / 12 - 20) = 43, 43.
xdotool mousemove 1001 201 click 1
wait_for_text 40 340 "map_ex=43 map_ey=43" 10 ||
    fail "a click at (1001, 201) did not give the cursor tile 43, 43"
ok "a click at the enlarged position of tile 43, 43 lands on it"


# M drags the window's top-left corner to the mouse, at its enlarged size.
xdotool mousemove 100 50 keydown m sleep 0.5 keyup m
wait_for_geometry "100,50 1280x960" 10 || fail "M moved the window to $(geometry), not 100,50 1280x960"
ok "M drags the enlarged window"
quit_with_escape "factor 2"
ok "Escape ends the game at factor 2 with exit code 0"

# ---- full screen ---------------------------------------------------------------------------------
run_game_with --fullscreen
wait_for_geometry "0,0 1920x1080" 10 || fail "--fullscreen gave the window $(geometry)"
picture_args=(--picture 320 60 2)
expect_status_lines "full screen"
ok "--fullscreen covers the screen with the picture centred at factor 2"

# In the left bar the mouse is clamped to the picture's left edge:
# 32 + trunc(0 / 16 - 20) = 12; row (540 - 60) / 2 = 240 gives 32.
xdotool mousemove 10 540
wait_for_text 40 340 "map_ex=12 map_ey=32" 10 || fail "the mouse in the left bar is not at the picture's left edge"
ok "the mouse in the bar is clamped to the picture's edge"

xdotool key alt+Return
wait_for_geometry "0,0 1280x960" 10 || fail "Alt+Enter left full screen for $(geometry), not the default window 0,0 1280x960"
picture_args=(--picture 0 0 2)
expect_status_lines "back in the window"
ok "Alt+Enter gives back the default window, with the picture at factor 2"
# Closed as a desktop's close button closes it.
"$check" close "$window" || fail "could not ask the window to close"
wait_for_exit 30 || fail "closing the window did not end the game"
[ "$exit_code" -eq 0 ] || fail "exit code $exit_code after the window was closed"
grep -q "ERROR" "$work/game.log" && fail "errors reported"
ok "closing the window ends the game with exit code 0"
finish
