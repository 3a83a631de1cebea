#!/usr/bin/env bash
# The real game at its opening view, drawn by Mesa's software GL, each time
# on a fresh virtual screen: today's 640 x 480 window, then the picture
# enlarged in windows at factors 2 and 3 and full screen on 1920 x 1080.
# Frames are counted at the swap and the rate is printed (the 60 frames a
# second goal is the benchmark's to judge, not this test's); every swap must
# wait for its frame to finish first.
# Usage: test_frame_rate.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/harness.sh"
count_swaps

# measure SCREEN LEFT TOP FACTOR WHAT OPTION...: the game started with the
# options, its picture at LEFT, TOP enlarged by FACTOR, frames counted over 10 s.
measure() {
    local screen=$1 what=$5 before after started
    picture_args=(--picture "$2" "$3" "$4")
    shift 5
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -f "$work/display"  # the new server writes its own number there
    start_xserver "$screen"
    start_game "$build" "${game_launcher[@]}" ./varnhold "$@"
    expect_status_lines "$what"
    sleep 2
    before=$(frames) started=$(date +%s.%N)
    sleep 10
    after=$(frames)
    echo "measured: $what: $((after - before)) frames in 10 s at the opening view," \
        "$(awk -v f=$((after - before)) -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", f / (b - a) }') frames a second"
    expect_every_swap_waited
    quit_with_escape "$what"
    ok "$what: frames counted; $unwaited of $swaps swaps did not wait for their frame (the first may not)"
}

measure 1024x768 0 0 1 "factor 1, the 640 x 480 window" --scale 1
# Figures from the sanitizer build would say nothing about the game's speed.
if [ "$sanitized" = no ]; then
    measure 1920x1080 0 0 2 "factor 2, the 1280 x 960 window" --scale 2
    measure 2560x1600 0 0 3 "factor 3, the 1920 x 1440 window" --scale 3
    measure 1920x1080 320 60 2 "full screen on 1920 x 1080, factor 2" --fullscreen
fi
finish
