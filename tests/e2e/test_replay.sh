#!/usr/bin/env bash
# A game played in the real window with scripted input and recorded, then
# checked without a window by varnhold-sim --replay (every digest matches)
# and watched again in the window to its end, the viewer's arrows moving its
# camera; a replay the previous release recorded in its window checks and
# plays too. Then the ways a replay goes wrong: cut off, killed, a changed
# end digest (both tools say so), random bytes, missing, and the places
# a recording cannot be written; none stops a game, and watching writes
# nothing.
# Usage: test_replay.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/harness.sh"
sim="$build/varnhold-sim"
[ -x "$sim" ] || fail "no simulator at $sim"
start_xserver
replay="$work/game.vrp"
seed=5

# ---- the recorded game --------------------------------------------------------

"$sim" --seed "$seed" --frames 0 --dump "$work/dealt.txt" >/dev/null || fail "the simulator did not deal seed $seed"
# A neutral creature (not a mine) in sight of the opening view.
read -r creature_x creature_y < <(awk '$3 == 2 && $6 != 90 && $4 > 14 && $4 < 50 && $5 > 14 && $5 < 50 { print $4, $5; exit }' "$work/dealt.txt")
[ -n "$creature_x" ] || fail "no neutral creature in the opening view of seed $seed"

start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 --seed "$seed" --record "$replay"
expect_status_lines "recording"
# Paid recruiting draws for as long as the left button is held.
read -r px py < <(screen_of "$creature_x" "$creature_y" 32 32)
xdotool mousemove "$px" "$py" mousedown 1 sleep 2 mouseup 1
# A move order for the selected unit.
xdotool mousemove 400 300 mousedown 3 sleep 0.3 mouseup 3
# The census's jump to the computer's first unit puts it 10 tiles up and
# right of the view centre; then an attack order on it, and back to the
# player's first unit.
hold_key 0 1.5
read -r px py < <(screen_of 10 10 0 0)
xdotool mousemove "$px" "$py" mousedown 3 sleep 0.3 mouseup 3
hold_key BackSpace 1.5
# Space spins the camera with the mouse.
xdotool keydown space mousemove 100 200 sleep 0.3 mousemove 500 200 sleep 0.3 keyup space
hold_key Next 0.3
xdotool keydown shift keydown Right sleep 0.3 keyup Right keyup shift
hold_key Right 0.05
# A new game in mid-game, from the clock, and the four frame delays.
hold_key F1 0.15
for key in F8 F7 F6 F5; do hold_key "$key" 0.3; done
xdotool mousemove 200 200 mousedown 1 sleep 0.5 mouseup 1
sleep 1
quit_with_escape "recording"
ok "a game played in the window with scripted input ends with 0"

[ -s "$replay" ] || fail "no replay at $replay"
for kind in " 0l+:the left button" " 0r+:the right button" " 0c:the cursor's tile" " 0s:a second deal" \
    " 0p1:F5" " 0p4:F8"; do
    grep -q -- "${kind%%:*}" "$replay" || fail "the replay holds no ${kind#*:}"
done
ok "the replay holds every kind of input the script gave"
bytes=$(stat -c %s "$replay")
frames=$(sed -n 's/^e \([0-9]*\) .*/\1/p' "$replay")
[ -n "$frames" ] && [ "$frames" -gt 0 ] || fail "the replay has no end line"
echo "measured: replay of $frames frames in $bytes bytes: $((bytes * 3600 / frames)) bytes per minute at 60 frames a second"

# ---- checked without a window -------------------------------------------------

"$sim" --replay "$replay" >"$work/sim.log" 2>"$work/sim.err" || { cat "$work/sim.log" "$work/sim.err"; fail "varnhold-sim --replay did not accept the game's replay"; }
sed 's/^/  sim: /' "$work/sim.log"
digests=$(sed -n 's/^all \([0-9]*\) digests match$/\1/p' "$work/sim.log")
[ -n "$digests" ] || fail "the simulator did not say that all digests match"
[ "$digests" -ge 5 ] || fail "only $digests digests checked"
[ "$(grep -c '^deal [0-9]* (seed' "$work/sim.log")" -ge 2 ] || fail "the simulator did not report the game F1 dealt"
grep -q "^deal 1 (seed $seed," "$work/sim.log" || fail "the first deal is not seed $seed's"
[ ! -s "$work/sim.err" ] || fail "the simulator complained: $(cat "$work/sim.err")"
ok "varnhold-sim --replay: all $digests digests match"
grep '^checked in' "$work/sim.log" | sed 's/^/measured: simulator /'

# ---- watched again in the window ----------------------------------------------

# watch FILE: the replay in the window at the speed as fast as it goes.
watch() {
    start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 --replay "$1"
    sleep 0.5
    for _ in 1 2 3 4 5 6; do xdotool key plus; done
}
# The free camera starts over the player's leader (32, 4); paused, three
# presses of Right move it three tiles, and the game plays on unchanged.
start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 --replay "$replay"
sleep 0.5
xdotool key space
wait_for_text 40 130 "Paused after frame" 30 || fail "Space did not pause the replay"
wait_for_text 40 380 "map_sx=32 map_sy=4" 30 || fail "the free camera does not start over the leader"
for _ in 1 2 3; do xdotool key Right; done
wait_for_text 40 380 "map_sx=35 map_sy=4" 30 || fail "Right did not move the free camera three tiles"
xdotool key space
for _ in 1 2 3 4 5 6; do xdotool key plus; done
wait_for_text 40 130 "End of the replay: all $digests digests match." 120 || fail "watching did not reach the end"
quit_with_escape "watching"
ok "--replay watches the game to its end with all $digests digests matching (Space paused it, Right moved its camera)"

# The previous release's replay, recorded in its window: checks, and plays
# with the camera it had.
old="$source_dir/tests/data/format1_window.vrp"
"$sim" --replay "$old" >"$work/old.log" 2>&1 || fail "the previous release's replay does not check: $(tail -n 3 "$work/old.log")"
old_digests=$(sed -n 's/^all \([0-9]*\) digests match$/\1/p' "$work/old.log")
watch "$old"
wait_for_text 40 130 "End of the replay: all $old_digests digests match." 120 || fail "the previous release's replay did not play to its end"
quit_with_escape "watching the previous release's replay"
ok "the previous release's replay checks and plays to its end with all $old_digests digests matching"

# ---- cut, changed, random, missing -----------------------------------------------

# sim_refuses FILE WHAT TEXT: exit 1, one line on stderr holding TEXT.
sim_refuses() {
    "$sim" --replay "$1" >"$work/refused.log" 2>"$work/refused.err"
    local status=$?
    [ "$status" -eq 1 ] || fail "$2: exit $status, not 1"
    [ "$(wc -l <"$work/refused.err")" -eq 1 ] || fail "$2: not one line on stderr: $(cat "$work/refused.err")"
    grep -q -- "$3" "$work/refused.err" || fail "$2: stderr does not say '$3': $(cat "$work/refused.err")"
}

header=$(head -n 7 "$replay" | wc -c)
cut_at=$((header + 1 + (RANDOM * 32768 + RANDOM) % (bytes - header - 1)))
head -c "$cut_at" "$replay" >"$work/cut.vrp"
sim_refuses "$work/cut.vrp" "a replay cut at byte $cut_at" "ends early, after frame"
cut_frame=$(sed -n 's/.*ends early, after frame \([0-9]*\):.*/\1/p' "$work/refused.err")
grep -q "^frames $cut_frame," "$work/refused.log" || fail "the cut replay did not play to frame $cut_frame"
watch "$work/cut.vrp"
wait_for_text 40 130 "The replay ends early, after frame $cut_frame." 120 || fail "watching a cut replay did not say it ends early"
xdotool key Escape
wait_for_exit 30 || fail "Escape did not leave a stopped replay"
[ "$exit_code" -eq 1 ] || fail "exit code $exit_code after a cut replay, not 1"
ok "a replay cut at byte $cut_at of $bytes plays to frame $cut_frame and says it ends early (simulator and window)"

# A game killed in mid-play leaves what it flushed: a replay that plays to
# its last complete frame and says it ends early.
start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 --record "$work/killed.vrp"
expect_status_lines "a game to be killed"
xdotool mousemove 300 200 mousedown 1 sleep 1 mouseup 1
sleep 1
kill -KILL "$game_pid"
wait "$game_pid" 2>/dev/null
game_pid=""
sim_refuses "$work/killed.vrp" "a killed game's replay" "ends early, after frame"
grep -q "^digests checked [1-9]" "$work/refused.log" || fail "the killed game's replay checked no digest"
ok "a game killed in mid-play leaves a replay that plays to its last complete frame"

# The end's digest changed (its file hash covers only the bytes before it):
# neither the simulator nor the window says that all digests match.
sed -E '$ { s/^(e [0-9]+ )0/\11/; t; s/^(e [0-9]+ )./\10/ }' "$replay" >"$work/changed.vrp"
sim_refuses "$work/changed.vrp" "a changed end digest" "at frame $frames: the state at the game's end is not"
! grep -q "digests match\|^final state" "$work/refused.log" || fail "a changed end digest: $(tail -n 4 "$work/refused.log")"
watch "$work/changed.vrp"
wait_for_text 40 130 "The replay differs from the game at frame $frames." 120 || fail "watching a changed end digest did not say it differs"
xdotool key Escape
wait_for_exit 30 || fail "Escape did not leave a replay that differs"
[ "$exit_code" -eq 1 ] || fail "exit code $exit_code after a replay that differs, not 1"
head -c 5000 /dev/urandom >"$work/random.vrp"
sim_refuses "$work/random.vrp" "random bytes" "not a varnhold replay"
ok "a changed end digest (simulator and window) and random bytes: one line and exit 1"

# In the window, a file that is no replay is a message box before any game.
refused_at_start "random bytes in the window" "not a varnhold replay" --replay "$work/random.vrp"
ok "random bytes in the window: a message box, the line on stderr, exit 1"
# Only the game left with Escape wrote there: its autosave.
[ "$(find "$XDG_DATA_HOME" -type f)" = "$(find "$XDG_DATA_HOME/varnhold/saves" -name 'autosave_*.vsv')" ] ||
    fail "watching and checking replays wrote $(find "$XDG_DATA_HOME" -type f | head -n 3)"
ok "watching and checking wrote no file"

# ---- recording by default, and where it cannot be written -------------------------

# short_game WHAT ARGS...: a game started, its status lines seen, left with Escape.
short_game() {
    local what=$1
    shift
    start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 "$@"
    expect_status_lines "$what"
    sleep 0.5
    quit_with_escape "$what"
}
short_game "recording by default"
kept=$(find "$XDG_DATA_HOME/varnhold/replays" -name '*.vrp' 2>/dev/null)
[ "$(echo "$kept" | grep -c .)" -eq 1 ] || fail "not one replay kept in the data home: $kept"
"$sim" --replay "$kept" >/dev/null 2>&1 || fail "the replay kept by default does not check: $kept"
ok "a game is kept by default as $(basename "$kept") under \$XDG_DATA_HOME/varnhold/replays and checks"
# Without a data home of its own (or a relative one) the game keeps it under HOME.
XDG_DATA_HOME=relative HOME="$work/home" short_game "recording under HOME"
[ "$(find "$work/home/.local/share/varnhold/replays" -name '*.vrp' | wc -l)" -eq 1 ] || fail "no replay under HOME"
ok "without an absolute \$XDG_DATA_HOME the replay is kept under \$HOME/.local/share/varnhold/replays"

# --no-record leaves the folder byte for byte as it was, full (a game that
# records would remove the oldest) and with a file of another's beside.
replays="$XDG_DATA_HOME/varnhold/replays"
for n in $(seq 10 58); do cp "$kept" "$replays/2026-01-01_00-00-$n.vrp"; done
echo notes >"$replays/notes.txt"
folder_now() { (cd "$replays" && ls -la --time-style=full-iso . && md5sum ./*); }
before=$(folder_now)
short_game "--no-record" --no-record
[ "$(folder_now)" = "$before" ] || fail "--no-record changed the replay folder: $(diff <(echo "$before") <(folder_now))"
ok "--no-record leaves the replay folder (50 replays and another file) as it was"

XDG_DATA_HOME=/proc/varnhold-nowhere
short_game "a data home that cannot be made"
XDG_DATA_HOME="$work/data"
[ "$(grep -c "this game is not recorded" "$work/game.log")" -eq 1 ] || fail "no one line for the folder: $(cat "$work/game.log")"
short_game "a full disk" --record /dev/full
[ "$(grep -c "cannot write the replay /dev/full" "$work/game.log")" -eq 1 ] || fail "no one line for the full disk: $(cat "$work/game.log")"
ok "a replay that cannot be written costs one line and the game plays on"
finish
