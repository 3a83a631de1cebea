#!/usr/bin/env bash
# A long run of the real game beside CPU-heavy work: 15 s of the opening
# view, random input with F1 held now and then, then the game left alone.
# Resident memory, sampled each second, stays within 20 MB of its value at
# 15 s (in the sanitizer build, whose allocator keeps freed memory aside, it
# is printed, not judged); the screen keeps changing, every swap waits for
# its frame, F1 and Escape are still obeyed. LONG_RUN_SECONDS (180, 90 with
# the sanitizers; 600 for ten minutes) and MONKEY_SEED replay or lengthen it.
# Usage: test_long_run.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/harness.sh"
default_seconds=180
[ "$sanitized" = yes ] && default_seconds=90
seconds=${LONG_RUN_SECONDS:-$default_seconds}
seed=${MONKEY_SEED:-$(($(date +%s) % 32768))}
settle_s=15
limit_kb=$((20 * 1024))
echo "long run: $seconds s, MONKEY_SEED=$seed, two busy loops beside it"

start_xserver
count_swaps
start_busy_work 2
start_game
started=$SECONDS

# Seconds since the start and the resident size in kB, once a second.
(while kill -0 "$game_pid" 2>/dev/null; do
    echo "$((SECONDS - started)) $(awk '/^VmRSS:/ { print $2 }' "/proc/$game_pid/status" 2>/dev/null)"
    sleep 1
done) >"$work/rss" 2>/dev/null &
background_pids+=($!)

# ---- random input ---------------------------------------------------------------
# Random values come back in variables, not through $( ): a subshell draws
# from a generator of its own, and the seed would no longer replay the run.
RANDOM=$seed
pick() { picked=$(($1 + RANDOM % ($2 - $1 + 1))); }
# A point (px, py) over the window, never off the 1024 x 768 screen.
pick_point() {
    eval "$(xdotool getwindowgeometry --shell "$window" 2>/dev/null | grep -E '^[XY]=')" || fail "the window is gone"
    pick $((X < 0 ? 0 : X)) $((X > 384 ? 1023 : X + 639)) && px=$picked
    pick $((Y < 0 ? 0 : Y)) $((Y > 288 ? 767 : Y + 479)) && py=$picked
}
keys=(Up Down Left Right Prior Next e space BackSpace 0 h F2 F3 F4 F5 F6 F7 F8)
random_action() {
    local choice=$((RANDOM % 100)) key=${keys[$((RANDOM % 18))]} arrow=${keys[$((RANDOM % 4))]}
    local button=$((RANDOM % 2 * 2 + 1)) hold
    pick 20 300 && hold=$(printf '0.%03d' "$picked")
    pick_point
    if [ "$choice" -lt 38 ]; then xdotool keydown "$key" sleep "$hold" keyup "$key"
    elif [ "$choice" -lt 46 ]; then xdotool keydown shift keydown "$arrow" sleep "$hold" keyup "$arrow" keyup shift
    elif [ "$choice" -lt 68 ]; then xdotool mousemove "$px" "$py"
    elif [ "$choice" -lt 88 ]; then xdotool mousemove "$px" "$py" mousedown "$button" sleep "$hold" mouseup "$button"
    elif [ "$choice" -lt 94 ]; then
        # While M is down the window's top-left corner follows the cursor.
        pick 0 384 && xdotool mousemove "$picked" $((RANDOM % 289)) keydown m sleep 0.1 keyup m
    else xdotool keydown space mousemove "$px" "$py" sleep 0.1 keyup space
    fi
}

# The game is alive, has swapped since the last look, and its screen is noted.
last_frames=0
look() {
    kill -0 "$game_pid" 2>/dev/null || fail "the game died at $((SECONDS - started)) s"
    local now_frames
    now_frames=$(frames)
    [ "$now_frames" -gt "$last_frames" ] || fail "no frame drawn since the last look ($now_frames frames)"
    last_frames=$now_frames
    dump "$work/look.xwd" && md5sum <"$work/look.xwd" | cut -d' ' -f1 >>"$work/screens"
}

# ---- the run ------------------------------------------------------------------------
random_until=$((started + settle_s + (seconds - settle_s) * 2 / 3))
f1_every=$(((random_until - started - settle_s) / 4))
next_f1=$((started + settle_s + f1_every))
next_look=$((started + 5))
f1_holds=0
actions=0
: >"$work/screens"
while [ "$SECONDS" -lt $((started + seconds)) ]; do
    if [ "$SECONDS" -ge "$next_look" ]; then
        look
        next_look=$((SECONDS + 5))
    fi
    if [ "$SECONDS" -lt $((started + settle_s)) ] || [ "$SECONDS" -ge "$random_until" ]; then
        sleep 0.5
    elif [ "$SECONDS" -ge "$next_f1" ]; then
        xdotool keydown F1 sleep 1.5 keyup F1
        f1_holds=$((f1_holds + 1))
        next_f1=$((SECONDS + f1_every))
    else
        random_action
        actions=$((actions + 1))
    fi
done
look
xdotool keyup shift keyup m keyup space mouseup 1 mouseup 3 2>/dev/null
different=$(sort -u "$work/screens" | wc -l)
echo "long run: $actions random actions, F1 held $f1_holds times, $(frames) frames, $different different screens"
[ "$different" -ge 3 ] || fail "the screen hardly changed: $different different screens"
ok "the game kept drawing for $seconds s"

# ---- memory ---------------------------------------------------------------------------
awk -v settle="$settle_s" '$1 >= settle && $2 != "" { print $2 }' "$work/rss" >"$work/judged"
[ -s "$work/judged" ] || fail "no memory samples after $settle_s s"
base=$(head -n1 "$work/judged")
read -r count least median most < <(sort -n "$work/judged" | awk '{ v[NR] = $1 } END { print NR, v[1], v[int((NR + 1) / 2)], v[NR] }')
echo "resident memory over $count samples after $settle_s s: at $settle_s s $((base / 1024)) MB," \
    "minimum $((least / 1024)) MB, median $((median / 1024)) MB, maximum $((most / 1024)) MB"
if [ "$sanitized" = no ]; then
    [ $((most - base)) -le "$limit_kb" ] && [ $((base - least)) -le "$limit_kb" ] ||
        fail "resident memory left the 20 MB band around $((base / 1024)) MB"
    ok "resident memory stayed within 20 MB of its value at $settle_s s"
fi

expect_every_swap_waited

# ---- it still obeys ------------------------------------------------------------------
# F1 deals a new game, whose view is back at 32, 32; a help page left open
# by H is closed first.
for _ in $(seq 8); do
    if shows 40 400 "F1 start new game."; then
        hold_key h 0.1
        sleep 0.6
        continue
    fi
    hold_key F1 0.3
    sleep 0.3
    shows 40 380 "map_sx=32 map_sy=32" && break
done
shows 40 380 "map_sx=32 map_sy=32" || fail "after the long run, F1 no longer dealt a new game"
ok "afterwards F1 still deals a new game"
quit_with_escape "long run"
ok "Escape ends the game with exit code 0"
finish
