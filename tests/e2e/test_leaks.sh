#!/usr/bin/env bash
# The real game in a window, played for a few hundred frames with F1 held
# through some of them, then left with Escape, under valgrind: no definite
# leak, no invalid read or write, no use of memory never written. The
# checker judges the game's code: the system's loader and GL driver keep a
# few known habits of their own, suppressed by name in
# scripts/valgrind-mesa.supp. (In the sanitizer build every end-to-end game
# ends under LeakSanitizer, so this test belongs to the normal build.)
# Usage: test_leaks.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/harness.sh"
# Frames of the run: F1 goes down at the first number and up at the second;
# Escape at the third. Under valgrind the game's pace is the machine's (one
# to two frames a second on a busy one), so the run ends when its time is up
# once F1 has come and gone: the checker judges what was played, and only a
# game that never got that far is a failure.
f1_down_at=30
f1_up_at=50
escape_at=200
least_frames=60
time_budget_s=180

needs valgrind valgrind
start_xserver
count_swaps
start_game "$build" valgrind --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
    --error-exitcode=99 --keep-debuginfo=yes --num-callers=30 \
    --suppressions="$source_dir/scripts/valgrind-mesa.supp" --log-file="$work/memcheck.log" ./varnhold
started=$SECONDS

# Until the game has swapped $1 times; false when the time is up first.
wait_for_frames() {
    while [ "$(frames)" -lt "$1" ]; do
        kill -0 "$game_pid" 2>/dev/null || fail "the game ended by itself after $(frames) frames"
        [ $((SECONDS - started)) -ge "$time_budget_s" ] && return 1
        sleep 0.2
    done
}

# Each error valgrind reported, with its first frames.
on_memcheck_failure() {
    awk '
        / (Invalid|Conditional|Use of uninit|Mismatched|Syscall param|Source and destination)/ { n = 14 }
        /(definitely|indirectly) lost in/ { n = 14 }
        n > 0 { print "  memcheck: " $0; n-- }' "$work/memcheck.log"
    fail "$@"
}

wait_for_frames "$f1_down_at" || fail "only $(frames) frames in $time_budget_s s before F1"
xdotool keydown F1
wait_for_frames "$f1_up_at"
f1_frames=$(($(frames) - f1_down_at))
xdotool keyup F1
wait_for_frames "$escape_at"
played=$(frames)
[ "$played" -ge "$least_frames" ] || fail "only $played frames in $time_budget_s s"
ok "$played frames, F1 held for about $f1_frames of them, under valgrind"

xdotool keydown Escape
wait_for_exit 90 || fail "Escape did not end the game within 90 s"
xdotool keyup Escape 2>/dev/null
grep -q "ERROR" "$work/game.log" && fail "the game reported an error"
grep -E "definitely lost:|indirectly lost:|possibly lost:|ERROR SUMMARY:" "$work/memcheck.log" | sed 's/^==[0-9]*== */  /'
grep -q "ERROR SUMMARY: 0 errors" "$work/memcheck.log" || on_memcheck_failure "valgrind counted errors"
[ "$exit_code" -eq 0 ] || on_memcheck_failure "exit code $exit_code (99: valgrind's errors)"
ok "no leak and no memory fault under valgrind, exit code 0"
finish
