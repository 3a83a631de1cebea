#!/usr/bin/env bash
# The real game at its opening view, drawn by Mesa's software GL: frames are
# counted at the swap and the rate is printed (the 60 frames a second goal
# is the benchmark's to judge, not this test's). The intro picture is drawn
# while frame_counter < 3000: it must show, then be gone once 3000 frames
# have been swapped. Every swap must wait for its frame to finish first.
# Then the rate of the picture enlarged: windows at factors 2 and 3 and full
# screen on a 1920 x 1080 screen, each on a fresh virtual screen.
# Usage: test_frame_rate.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/harness.sh"
intro="$build/bmp_scr/intro1.bmp"
[ -f "$intro" ] || fail "no intro picture at $intro"
start_xserver
count_swaps
start_game

intro_per_mille() { dump && "$check" picture "$work/screen.xwd" 200 200 "$intro"; }

deadline=$((SECONDS + 60))
until [ "$(intro_per_mille)" -ge 900 ] 2>/dev/null; do
    [ "$SECONDS" -ge "$deadline" ] && fail "the intro picture never showed (the window never drew it)"
    sleep 0.2
done
ok "the intro picture shows"

# measure WHAT: frames swapped over 10 s, printed with their rate.
measure() {
    local before after started
    before=$(frames) started=$(date +%s.%N)
    sleep 10
    after=$(frames)
    echo "measured: $1: $((after - before)) frames in 10 s at the opening view," \
        "$(awk -v f=$((after - before)) -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", f / (b - a) }') frames a second"
}
measure "factor 1, the 640 x 480 window"

deadline=$((SECONDS + 250))
while [ "$(frames)" -lt 3010 ]; do
    kill -0 "$game_pid" 2>/dev/null || fail "the game ended by itself"
    [ "$SECONDS" -ge "$deadline" ] && fail "only $(frames) frames in 250 s: the intro never ended"
    sleep 0.5
done
gone=$(intro_per_mille) || fail "cannot read the window after 3000 frames"
[ "$gone" -le 100 ] || fail "the intro picture still shows after $(frames) frames ($gone per mille)"
ok "the intro picture is gone after 3000 frames"

expect_every_swap_waited
ok "each of $swaps swaps but $unwaited waited for its frame to finish"
quit_with_escape "frame rate"

# measure_enlarged SCREEN LEFT TOP FACTOR WHAT OPTION...: the game on a fresh
# virtual screen, its frames counted over 10 s at the opening view.
measure_enlarged() {
    local screen=$1 what=$5
    picture_args=(--picture "$2" "$3" "$4")
    shift 5
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    rm -f "$work/display"  # the new server writes its own number there
    start_xserver "$screen"
    start_game "$build" "${game_launcher[@]}" ./varnhold "$@"
    expect_status_lines "$what"
    sleep 2
    measure "$what"
    expect_every_swap_waited
    quit_with_escape "$what"
    ok "$what: frames counted, each swap waited for its frame"
}

# Figures from the sanitizer build would say nothing about the game's speed.
if [ "$sanitized" = no ]; then
    measure_enlarged 1920x1080 0 0 2 "factor 2, the 1280 x 960 window" --scale 2
    measure_enlarged 2560x1600 0 0 3 "factor 3, the 1920 x 1440 window" --scale 3
    measure_enlarged 1920x1080 320 60 2 "full screen on 1920 x 1080, factor 2" --fullscreen
fi
finish
