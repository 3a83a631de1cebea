#!/usr/bin/env bash
# Network play in real windows on virtual X servers (127.0.0.1 only): a join
# nobody answers tells why on screen; a host window and a guest window, each
# on its own server, with scripted input on both (a recruit, a move and an
# attack on each side); both replays hold the same commands and check, and
# what each window's status lines say of its own side is what the headless
# check of its replay gives; both windows chat, keys the game would take
# typed into the line move neither view nor game, and both replays keep
# the messages, which the replay viewer shows (C hides them); a guest killed
# waited for, a guest killed and started again with the same command
# playing on, F9 saving both, and a host killed and started again.
# Usage: test_network_window.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/harness.sh"
sim="$build/varnhold-sim"
[ -x "$sim" ] || fail "no simulator at $sim"
start_two_xservers
port=$((44000 + RANDOM % 8000))

"$sim" --seed 5 --frames 0 --dump "$work/dealt.txt" >/dev/null || fail "the simulator did not deal seed 5"
# Two neutral creatures (not mines) in sight of the opening view, one a side.
mapfile -t creatures < <(awk '$3 == 2 && $6 != 90 && $4 > 14 && $4 < 50 && $5 > 14 && $5 < 50 { print $4, $5 }' "$work/dealt.txt")
[ "${#creatures[@]}" -ge 2 ] || fail "fewer than two neutral creatures in the opening view of seed 5"

# play_side DISPLAY WINDOW CREATURE: paid draws over the creature, a move
# order, then the census's jump to the other side's first unit (10 tiles up
# and right of the view centre) and an attack order on it.
play_side() {
    local px py
    read -r px py < <(screen_of ${3} 32 32)
    DISPLAY=$1 xdotool mousemove "$px" "$py" mousedown 1 sleep 2 mouseup 1
    DISPLAY=$1 xdotool mousemove 400 300 mousedown 3 sleep 0.3 mouseup 3
    DISPLAY=$1 xdotool keydown 0 sleep 1.5 keyup 0
    read -r px py < <(screen_of 10 10 0 0)
    DISPLAY=$1 xdotool mousemove "$px" "$py" mousedown 3 sleep 0.3 mouseup 3
}

# A join nobody answers, to 127.0.0.1 written long: the lobby shows the whole
# address and the treasury of empire 1, which a guest plays, then the reason
# it ends, and the window ends with the status stderr's line goes with.
long="[0000:0000:0000:0000:0000:ffff:7f00:0001]:$port"
start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 --join "$long" --no-record
wait_for_text 40 130 "Connecting to $long" 30 || fail "the guest's lobby does not show Connecting to $long"
# (A unit's label over the line may hide either treasury; only empire 0's is a fault.)
shows 40 320 "empire_0_gold=" && fail "the guest's lobby shows the treasury of empire 0"
wait_for_text 40 130 "Nobody answered at 127.0.0.1:$port within 10 s." 30 || fail "the window does not say why"
wait_for_exit 30 || fail "the window did not end after the join gave up"
[ "$exit_code" -eq 1 ] && grep -q "Nobody answered" "$work/game.log" || fail "the join ended with $exit_code"
ok "a join nobody answers shows its whole address, empire 1, then why it ends; status 1"

start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 --seed 5 --host "$port" --no-port-mapping --record "$work/host.vrp"
host_window=$window host_pid=$game_pid
wait_for_text 40 130 "Waiting for a player on port $port" 60 || fail "the host does not say it waits on port $port"
ok "the host waits and says so: Waiting for a player on port $port"
# start_guest RECORD: the guest's window on the second server, joining the host at $port.
start_guest() {
    (cd "$build" && DISPLAY=$guest_display exec "${game_launcher[@]}" ./varnhold --scale 1 --join "127.0.0.1:$port" \
        --record "$1") >>"$work/guest.log" 2>&1 &
    guest_pid=$!
    background_pids+=($guest_pid)
    wait_until 60 eval 'guest_window=$(DISPLAY=$guest_display xdotool search --name "^VARNHOLD$" 2>/dev/null | head -n1); [ -n "$guest_window" ]' ||
        fail "no guest window"
    DISPLAY=$guest_display xdotool mousemove 320 240
    DISPLAY=$guest_display xdotool windowfocus "$guest_window" 2>/dev/null
}
start_guest "$work/guest.vrp"
# Both games running, not their lobbies: a click in a lobby is lost.
wait_for_game "the host" "Waiting for a player"
wait_for_game "the guest" "Connecting to" "$guest_display" "$guest_window"
play_side "$host_display" "$host_window" "${creatures[0]}" &
host_script=$!
play_side "$guest_display" "$guest_window" "${creatures[1]}"
wait "$host_script"
sleep 1

# The host types, into its chat line, keys the game and the view would take.
geometry_before=$(geometry)
xdotool key Return
xdotool type --delay 80 'hm0 42 '
xdotool key --delay 80 F1 F2 F5 F8 F9 Home
xdotool type --delay 80 'Hello, guest!'
wait_for_text 8 16 "Say: hm0 42 Hello, guest!_" 20 || fail "the host's chat line does not show what was typed"
shows 40 400 "Press H for help." || fail "typing h in the chat line opened the help"
[ "$(geometry)" = "$geometry_before" ] || fail "typing m in the chat line moved the window"
xdotool key Return
said="Empire 0: hm0 42 Hello, guest!"
wait_for_text 8 76 "$said" 20 || fail "the host does not show its message"
guest_shows() {
    DISPLAY=$guest_display xwd -id "$guest_window" -silent >"$work/guest.xwd" 2>/dev/null &&
        "$check" shows "$work/guest.xwd" "$1" "$2" "$3" >/dev/null
}
wait_until 20 guest_shows 8 76 "$said" || fail "the guest does not show the host's message"
# Escape closes the guest's line and the game goes on; then it answers.
DISPLAY=$guest_display xdotool key Return
DISPLAY=$guest_display xdotool type --delay 80 'not sent'
wait_until 20 guest_shows 8 16 "Say: not sent_" || fail "the guest's chat line does not show"
DISPLAY=$guest_display xdotool key Escape
wait_until 20 eval '! guest_shows 8 16 "Say: not sent_"' || fail "Escape did not close the guest's chat line"
DISPLAY=$guest_display xdotool key Return
DISPLAY=$guest_display xdotool type --delay 80 'Hi host'
DISPLAY=$guest_display xdotool key Return
wait_for_text 8 76 "Empire 1: Hi host" 20 || fail "the host does not show the guest's answer"
shows 8 92 "$said" || fail "the host's own message is not kept above the answer"
wait_until 20 guest_shows 8 76 "Empire 1: Hi host" || fail "the guest does not show its answer"
kill -0 "$guest_pid" 2>/dev/null || fail "Escape in the guest's chat line ended its game"
ok "the two windows chat: both show both messages; h, m, 0, digits and F-keys typed in the line move neither the help nor the window"
dump "$work/host_last.xwd"
xdotool keydown Escape
wait_for_exit 60 || fail "Escape did not end the host's game"
xdotool keyup Escape
[ "$exit_code" -eq 0 ] || fail "the host ended with $exit_code after Escape"
wait_until 20 eval 'DISPLAY=$guest_display xwd -id "$guest_window" -silent >"$work/guest_end.xwd" 2>/dev/null &&
    "$check" shows "$work/guest_end.xwd" 40 130 "the other player left" >/dev/null' ||
    fail "the guest does not say that the other player left"
wait_until 30 eval '! kill -0 $guest_pid 2>/dev/null' || fail "the guest did not end"
wait "$guest_pid"
guest_status=$?
[ "$guest_status" -eq 0 ] || fail "the guest ended with $guest_status after the host left"
ok "Escape on the host ends both: the guest says the other player left and ends with 0"

moves() { grep -v '^local ' "$1" | sed 's/ [0-9a-f]\{8\}$//'; }
[ "$(moves "$work/host.vrp")" = "$(moves "$work/guest.vrp")" ] || fail "the two replays hold other commands or digests"
for kind in " 0l+" " 1l+" " 0r+" " 1r+"; do grep -q -- "$kind" "$work/host.vrp" || fail "the replay holds no '$kind'"; done
for side in host guest; do
    "$sim" --replay "$work/$side.vrp" >"$work/$side.check" 2>&1 || fail "the $side's replay does not check"
done
ok "both replays hold the same commands (each side's buttons among them) and check"
grep -qE ' [01](s|p)' "$work/host.vrp" && fail "the F-keys typed in the chat line reached the game: $(grep -E ' [01](s|p)' "$work/host.vrp" | head -n 2)"
[ "$(grep -c '^m ' "$work/host.vrp")" -eq 2 ] || fail "the host's replay holds $(grep -c '^m ' "$work/host.vrp") messages of 2"
sed -n 's/^varnhold: \(chat at .*\)/\1/p' "$work/game.log" >"$work/host.said"
grep '^chat at' "$work/host.check" | cmp -s - "$work/host.said" || fail "the host's replay gives its messages back at other frames"
ok "both replays keep both messages at the frames the window showed them, and no F-key typed in the line"
# The host's own side, seen before it left (no button after); the guest's at the end.
host_line=$(sed -n 's/^side 0: \(selected_unit=[0-9]*\) .*/\1/p' "$work/host.check")
"$check" shows "$work/host_last.xwd" 40 360 "$host_line" >/dev/null || fail "the host's window does not show $host_line"
read -r guest_selected guest_gold < <(sed -n 's/^side 1: \(selected_unit=[0-9]*\) \(.*\)$/\1 \2/p' "$work/guest.check")
"$check" shows "$work/guest_end.xwd" 40 360 "$guest_selected" >/dev/null || fail "the guest's window does not show $guest_selected"
"$check" shows "$work/guest_end.xwd" 40 320 "$guest_gold" >/dev/null || fail "the guest's window does not show $guest_gold"
ok "each window shows what the check of its replay gives: $host_line on the host, $guest_selected $guest_gold on the guest"

# The host's replay in the viewer: seeked to shortly before the first
# message, it shows both as the game did, each at its frame; paused, C
# hides the chat and shows it again.
first_frame=$(sed -n 's/^chat at frame \([0-9]*\) side 0: .*/\1/p' "$work/host.check" | head -n1)
start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 --replay "$work/host.vrp"
for _ in $(seq $(( (first_frame - 240) / 600 ))); do xdotool key period && sleep 0.2; done
wait_for_text 8 76 "$said" 30 || fail "the replay viewer does not show the host's message near frame $first_frame"
wait_for_text 8 76 "Empire 1: Hi host" 30 || fail "the replay viewer does not show the answer after it"
xdotool key space
xdotool key c
wait_until 10 eval '! shows 8 76 "Empire 1: Hi host"' || fail "C does not hide the chat in the replay viewer"
xdotool key c
wait_for_text 8 76 "Empire 1: Hi host" 10 || fail "C again does not show the chat"
quit_with_escape "the replay viewer"
ok "the replay viewer shows both messages at their frames, and C hides and shows them"

# A guest killed mid-game (a crash, not a leave): the host's window counts down its wait; Escape ends it, status 1.
port=$((port + 1))
start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 --seed 5 --host "$port" --no-port-mapping --rejoin-wait 40 --no-record
wait_for_text 40 130 "Waiting for a player on port $port" 60 || fail "the host does not wait on port $port"
"$sim" --join "127.0.0.1:$port" --frames 100000 --fps 60 >"$work/crashed.log" 2>&1 &
background_pids+=($!)
wait_for_game "the host of the crashed guest" "Waiting for a player"
sleep 2 && kill -9 "${background_pids[-1]}"
dropped="The other player dropped: waiting for them to come back (0:"
wait_for_text 40 130 "${dropped}3" 30 && wait_for_text 40 130 "${dropped}2" 5 || fail "no countdown from 0:3x to 0:2x"
xdotool keydown Escape
wait_for_exit 30 || fail "Escape did not end the wait"
xdotool keyup Escape
[ "$exit_code" -eq 1 ] && grep -q "the game ended while the other player was away" "$work/game.log" ||
    fail "the wait ended with $exit_code: $(tail -n 2 "$work/game.log")"
ok "a guest killed mid-game: the host's window counts down its 40 s wait and Escape ends it with status 1"

# A guest window killed mid-game and started again with the same command: both count down and play on.
port=$((port + 1))
start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 --seed 5 --host "$port" --no-port-mapping --rejoin-wait 40 --record "$work/host.vrp"
wait_for_text 40 130 "Waiting for a player on port $port" 60 || fail "the host does not wait on port $port"
start_guest "$work/guest.vrp"
wait_for_game "the host" "Waiting for a player"
wait_for_game "the guest" "Connecting to" "$guest_display" "$guest_window"
sleep 1 && kill -9 "$guest_pid"
wait_for_text 40 130 "Waiting for the other player" 10 || fail "the host does not wait for its killed guest"
start_guest "$work/guest.vrp"
wait_for_text 40 130 "Both players are here: the game goes on in" 20 || fail "the host shows no countdown after the guest came back: $(cat "$work/guest.log")"
wait_for_game "the returned guest" "Taking the game" "$guest_display" "$guest_window"
sleep 4
# F9 on the host saves both sides at one frame, each its own file, the same bytes.
xdotool keydown F9 sleep 0.3 keyup F9
wait_until 10 eval '[ "$(ls "$XDG_DATA_HOME"/varnhold/saves/save_*.vsv 2>/dev/null | wc -l)" -eq 2 ]' ||
    fail "F9 on the host did not save on both sides"
cmp -s $(ls "$XDG_DATA_HOME"/varnhold/saves/save_*.vsv) || fail "the two sides saved different games"
dump "$work/host_last.xwd"
xdotool keydown Escape
wait_for_exit 60 || fail "Escape did not end the host's game after the return"
xdotool keyup Escape
wait_until 20 eval 'DISPLAY=$guest_display xwd -id "$guest_window" -silent >"$work/guest_end.xwd" 2>/dev/null &&
    "$check" shows "$work/guest_end.xwd" 40 130 "the other player left" >/dev/null' ||
    fail "the returned guest does not say that the other player left"
wait_until 30 eval '! kill -0 $guest_pid 2>/dev/null' || fail "the returned guest did not end"
wait "$guest_pid" || fail "the returned guest ended with $?"
frame=$(sed -n 's/^varnhold: back at frame \([0-9]*\):.*/\1/p' "$work/guest.log" | tail -n1)
"$sim" --replay "$work/host.vrp" >"$work/host.check" 2>&1 || fail "the host's replay across the return does not check"
"$sim" --replay "$work/guest.vrp-from-$frame.vrp" >"$work/guest.check" 2>&1 || fail "the returned guest's replay does not check"
host_line=$(sed -n 's/^side 0: \(selected_unit=[0-9]*\) .*/\1/p' "$work/host.check")
"$check" shows "$work/host_last.xwd" 40 360 "$host_line" >/dev/null || fail "the host's window does not show $host_line"
read -r guest_selected guest_gold < <(sed -n 's/^side 1: \(selected_unit=[0-9]*\) \(.*\)$/\1 \2/p' "$work/guest.check")
"$check" shows "$work/guest_end.xwd" 40 360 "$guest_selected" >/dev/null || fail "the guest's window does not show $guest_selected"
"$check" shows "$work/guest_end.xwd" 40 320 "$guest_gold" >/dev/null || fail "the guest's window does not show $guest_gold"
ok "a guest window killed and started again: back at frame $frame, a countdown, F9 saving both alike, both replays check and each window shows its check's lines"

# A host window killed mid-game and started again with the same command: its guest waits, both play on.
guest_shows() {
    local text=$1  # seen by the eval inside wait_until, whose $1 is another
    wait_until "$2" eval 'DISPLAY=$guest_display xwd -id "$guest_window" -silent >"$work/guest.xwd" 2>/dev/null &&
        "$check" shows "$work/guest.xwd" 40 130 "$text" >/dev/null'
}
port=$((port + 1))
host_command=(./varnhold --scale 1 --seed 7 --host "$port" --no-port-mapping --record "$work/host3.vrp")
start_game "$build" "${game_launcher[@]}" "${host_command[@]}"
wait_for_text 40 130 "Waiting for a player on port $port" 60 || fail "the third host does not wait on port $port"
start_guest "$work/guest3.vrp"
wait_for_game "the third host" "Waiting for a player"
wait_for_game "the third guest" "Connecting to" "$guest_display" "$guest_window"
sleep 1 && kill -9 "$game_pid" && wait "$game_pid" 2>/dev/null
guest_shows "Waiting for the other player" 10 || fail "the guest does not wait for its killed host"
start_game "$build" "${game_launcher[@]}" "${host_command[@]}"
guest_shows "Both players are here: the game goes on in" 20 || fail "the guest shows no countdown after the host came back: $(tail -n 3 "$work/game.log")"
wait_for_game "the returned host" "Taking the game"
sleep 2
xdotool keydown Escape
wait_for_exit 60 || fail "Escape did not end the returned host's game"
xdotool keyup Escape
wait_until 30 eval '! kill -0 $guest_pid 2>/dev/null' || fail "the guest did not end after the returned host left"
wait "$guest_pid" || fail "the guest ended with $? after the returned host left"
frame=$(sed -n 's/^varnhold: back at frame \([0-9]*\):.*/\1/p' "$work/game.log" | tail -n1)
[ -n "$frame" ] || fail "the host did not say where it came back: $(tail -n 3 "$work/game.log")"
"$sim" --replay "$work/guest3.vrp" >"$work/guest.check" 2>&1 || fail "the guest's replay across the host's return does not check"
"$sim" --replay "$work/host3.vrp-from-$frame.vrp" >"$work/host.check" 2>&1 || fail "the returned host's replay does not check"
grep -q "^local 0$" "$work/host3.vrp-from-$frame.vrp" || fail "the host came back on another side"
ok "a host window killed and started again: the guest waited and counted down, back at frame $frame on empire 0, both replays check"

finish
