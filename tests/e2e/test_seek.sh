#!/usr/bin/env bash
# Seeking in a replay and taking it over. Headless, in a 60-minute game of a
# busy player with a deal at frame 70000: each seek (on, back a minute, to
# the start, to the end, on 10 s) lands on its frame with the state the game
# had there. In the window: the viewer's keys seek back and forth while
# paused (the line and the time bar say where), T takes over, and the new
# game starts from what was shown (its replay's first state is the replay's
# state at that frame, the same selection on screen); --take-over-at does
# the same from the command line and refuses a frame past the end.
# Usage: test_seek.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/harness.sh"
sim="$build/varnhold-sim"
[ -x "$sim" ] || fail "no simulator at $sim"

# ---- headless, an hour of play ---------------------------------------------------

"$sim" --seed 4 --player busy --deal-at 70000 --frames 216000 --record "$work/hour.vrp" --digests >"$work/hour.game" ||
    fail "the 60-minute game did not play"
census() { awk -v f="$1" '$1 == "census" && $2 == f { print $4 }' "$work/hour.game"; }
middle=$(awk '$1 == "census" && $2 > 108000 { print $2; exit }' "$work/hour.game")
end_digest=$(sed -n 's/^e 216000 \([0-9a-f]*\) .*/\1/p' "$work/hour.vrp")
[ -n "$middle" ] && [ -n "$end_digest" ] || fail "no census after frame 108000 or no end line"
seeks=("$middle" $((middle - 3600)) 0 end $((middle - 600)) "$middle" 1)
args=()
for frame in "${seeks[@]}"; do args+=(--seek "$frame"); done
"$sim" --replay "$work/hour.vrp" "${args[@]}" >"$work/seeks" 2>&1 || fail "a seek did not land: $(tail -n 2 "$work/seeks")"
n=0
for frame in "${seeks[@]}"; do
    n=$((n + 1))
    [ "$frame" = end ] && frame=216000 want=$end_digest || want=$(census "$frame")
    line=$(grep "^seek $n: " "$work/seeks")
    [[ "$line" == *"landed at frame $frame,"* ]] || fail "seek $n did not land on frame $frame: $line"
    [ "$frame" -eq 0 ] || [[ "$line" == *"state $want,"* ]] || fail "seek $n: not the game's state at frame $frame: $line"
done
grep '^seek' "$work/seeks" | sed 's/^/measured: /'
ok "in a 60-minute replay each seek lands on its frame with the game's state there"

# ---- in the window ---------------------------------------------------------------

start_xserver
"$sim" --seed 4 --player busy --frames 9000 --record "$work/short.vrp" >/dev/null || fail "no short game"
"$sim" --replay "$work/short.vrp" --seek 4200 >"$work/at4200" || fail "the short replay does not seek to 4200"
read -r state selected < <(sed -n 's/.*state \([0-9a-f]*\), selected_unit=\([0-9]*\),.*/\1 \2/p' "$work/at4200")
# paused_at FRAME: the viewer says it is paused after that frame.
paused_at() { wait_for_text 40 130 "Paused after frame $1." 30 || fail "the viewer is not paused after frame $1"; }
start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 --replay "$work/short.vrp" --record "$work/taken.vrp"
# A slow build draws its first frame late: the key waits for the viewer's
# picture, and goes to a window that is surely focused by then.
wait_for_text 40 400 "Press H for help." 60 || fail "the viewer shows no status line"
xdotool windowfocus "$window" 2>/dev/null
xdotool key space
wait_for_text 40 130 "Paused after frame" 30 || fail "Space did not pause the replay"
xdotool key Home
paused_at 0
xdotool key bracketright bracketright bracketleft period comma period
paused_at 4200
shows 40 21 "1:10 / 2:30" || fail "the time bar does not say 1:10 of 2:30"
xdotool key End
wait_for_text 40 130 "End of the replay: all 301 digests match." 30 || fail "End did not reach the end"
xdotool key Home period bracketright
paused_at 4200
wait_for_text 40 360 "selected_unit=$selected" 10 || fail "the viewer does not show selected_unit=$selected"
ok "the viewer seeks back and forth while paused (Home ] ] [ . , . End Home . ]) and the time bar says where"
xdotool key t
wait_for_text 40 300 "Press F9 to save." 30 || fail "T did not start a game"
shows 40 360 "selected_unit=$selected" || fail "the game taken over does not show selected_unit=$selected"
quit_with_escape "the game taken over"
# taken_from FILE: its replay starts from a snapshot of the replay's frame 4200.
taken_from() {
    grep -qx "sides person computer" "$1" && grep -q "^start snapshot" "$1" || fail "$1 does not start from a snapshot"
    "$sim" --replay "$1" >/dev/null 2>&1 || fail "$1 does not check"
    "$sim" --replay "$1" --seek 0 | grep -q "state $state," || fail "$1 does not start from the state of frame 4200"
}
taken_from "$work/taken.vrp"
ok "T takes over at frame 4200: the same selection on screen, a replay that starts from that state and checks"

start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 --replay "$work/short.vrp" --take-over-at 4200 \
    --record "$work/taken_at.vrp"
wait_for_text 40 360 "selected_unit=$selected" 30 || fail "--take-over-at 4200 does not show selected_unit=$selected"
quit_with_escape "--take-over-at"
taken_from "$work/taken_at.vrp"
refused_at_start "--take-over-at 9001, past the end" "holds 9000 frames: there is no frame 9001" \
    --replay "$work/short.vrp" --take-over-at 9001
ok "--take-over-at 4200 plays on from the same state; 9001, past the end, is one line and exit 1"

# A game taken over on side 1 (a network guest's replay) and left: --continue
# seats the person on side 1 again, the status line showing side 1's selection.
port=$((42000 + $$ % 2000))
"$sim" --host $port --no-port-mapping --seed 7 --frames 1200 --record "$work/host.vrp" >/dev/null 2>&1 &
host_pid=$!
"$sim" --join 127.0.0.1:$port --frames 1200 --record "$work/guest.vrp" >/dev/null 2>&1 || fail "no guest's game"
wait "$host_pid"
side_1=$("$sim" --replay "$work/guest.vrp" --seek 30 | sed -n 's/.*selected_unit=[0-9]*,\([0-9]*\),.*/\1/p')
[ -n "$side_1" ] && [ "$side_1" != 0 ] || fail "side 1's selection at frame 30 is '$side_1', which side 0's could show too"
start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 --replay "$work/guest.vrp" --take-over-at 30 --no-record
wait_for_text 40 300 "Press F9 to save." 30 || fail "--take-over-at 30 of the guest's replay did not start a game"
quit_with_escape "the guest's game taken over"
start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 --continue --no-record
wait_for_text 40 360 "selected_unit=$side_1" 30 || fail "--continue of a game taken over on side 1 is not played on side 1"
quit_with_escape "the continued game of side 1"
ok "a game taken over on side 1 goes on on side 1 after --continue"
finish
