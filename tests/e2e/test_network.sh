#!/usr/bin/env bash
# Two headless peers (varnhold-sim --host and --join) on 127.0.0.1: ten
# minutes of game time alike on both, both replays the same commands and
# digests and each checking; the same at 60 frames a second through a relay
# that delays, drops, repeats and reorders; a peer killed mid-game, a guest
# and a host killed and back with the same command; a game saved on both
# sides at one frame and resumed with --host --load; games that part;
# hostile datagrams, a caller of another version and a guest at ::1; chat
# both ways, through the relay too, and a peer that floods chat.
# Traffic goes to 127.0.0.1 and ::1 only.
# Usage: test_network.sh BUILD_DIR SOURCE_DIR
set -u
build=$(cd "$1" && pwd)
sim="$build/varnhold-sim"
relay="$build/tests/tools/relay/udp_relay"
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done; rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*"
    for log in "$work"/*.log; do [ -f "$log" ] && tail -n 8 "$log" | sed "s|^|  $(basename "$log"): |"; done
    exit 1
}
passed=0
ok() { echo "ok: $*" && passed=$((passed + 1)); }
[ -x "$sim" ] || fail "no simulator at $sim"
[ -x "$relay" ] || fail "no relay at $relay"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
port=$((42000 + RANDOM % 8000))

# game NAME ARGS...: a headless peer in the background, its output in NAME.log.
# A host asks no router for its port: this test's traffic stays on this machine.
game() {
    local name=$1 mapping=()
    shift
    [ "$1" = --host ] && mapping=(--no-port-mapping)
    "$sim" "$@" "${mapping[@]}" >"$work/$name.log" 2>"$work/$name.err" &
    pids+=($!)
    eval "${name}_pid=$!"
}
# finished NAME: waits for the peer (at most 300 s); its exit code in status.
finished() {
    local pid
    eval "pid=\$${1}_pid"
    for _ in $(seq 3000); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "$1 did not end"
    wait "$pid"
    status=$?
}
# both_end STATUS WHEN: host and guest end, each with STATUS.
both_end() {
    local side
    for side in host guest; do
        finished $side
        [ "$status" -eq "$1" ] || fail "the $side ended with $status $2"
    done
}
final() { sed -n 's/^final state \([0-9a-f]*\)$/\1/p' "$work/$1.log"; }
# The commands and digests of a replay, without its file hashes (which cover
# the header's own side) and the header's side line.
moves() { grep -v '^local ' "$1" | sed 's/ [0-9a-f]\{8\}$//'; }
checks() {
    "$sim" --replay "$1" >"$work/check.log" 2>&1 || fail "$1 does not check: $(tail -n 2 "$work/check.log")"
}

# ---- ten minutes of game time, as fast as the two sides allow -----------------
game host --host $port --seed 31 --frames 36000 --record "$work/host.vrp"
sleep 0.3
game guest --join 127.0.0.1:$port --frames 36000 --record "$work/guest.vrp"
both_end 0 "in ten minutes of game time"
[ -n "$(final host)" ] && [ "$(final host)" = "$(final guest)" ] || fail "final states differ: $(final host) $(final guest)"
[ "$(moves "$work/host.vrp")" = "$(moves "$work/guest.vrp")" ] || fail "the two replays hold other commands or digests"
checks "$work/host.vrp"
checks "$work/guest.vrp"
grep -q '^all 1201 digests match' "$work/check.log" || fail "the guest's replay: $(grep digests "$work/check.log")"
ok "36000 frames alike on both sides (final state $(final host)); both replays hold the same commands and digests and check"
sed -n 's/^sent/measured: host sent/p' "$work/host.log"

# ---- through a bad network at 60 frames a second ------------------------------
port=$((port + 1))
"$relay" $((port + 1)) $port 50 5 2 2 7 90 >"$work/relay.log" 2>&1 &
pids+=($!)
game host --host $port --seed 5 --frames 3600 --fps 60 --record "$work/host.vrp" \
    --chat-at 100:"Hello from the host" --chat-at 101:"Said too soon: held a moment" --chat-at 1000:'h m 0 F1 [x] {~}'
sleep 0.3
game guest --join 127.0.0.1:$((port + 1)) --frames 3600 --fps 60 --record "$work/guest.vrp" \
    --chat-at 150:"$(printf 'g%.0s' $(seq 80))"
both_end 0 "through the relay"
[ "$(final host)" = "$(final guest)" ] || fail "final states differ through the relay"
[ "$(moves "$work/host.vrp")" = "$(moves "$work/guest.vrp")" ] || fail "the replays differ through the relay"
checks "$work/host.vrp"
ok "a minute at 60 frames a second through 50 ms each way, 5 % lost, repeated and reordered: alike on both"
for side in host guest; do grep '^chat at' "$work/$side.log" >"$work/$side.chat"; done
[ "$(wc -l <"$work/host.chat")" -eq 4 ] || fail "the host showed $(wc -l <"$work/host.chat") messages of 4"
cmp -s "$work/host.chat" "$work/guest.chat" || fail "the two sides showed other messages: $(diff "$work/host.chat" "$work/guest.chat")"
[ "$(grep -c '^m [01] ' "$work/guest.vrp")" -eq 4 ] || fail "the guest's replay holds $(grep -c '^m ' "$work/guest.vrp") messages"
checks "$work/guest.vrp"
grep '^chat at' "$work/check.log" | cmp -s - "$work/guest.chat" || fail "the replay does not give the messages back at their frames"
ok "chat both ways through the relay: the same 4 messages at the same frames on both sides, in both replays, which check"
for side in host guest; do
    echo "measured: $side through the relay: $(grep -E '^(side|stalled)' "$work/$side.log" | tr '\n' ' ')"
done

# ---- a peer killed mid-game and never back ------------------------------------------
port=$((port + 2))
export XDG_DATA_HOME="$work/data"
game host --host $port --frames 100000 --fps 60 --record "$work/host.vrp" --rejoin-wait 12
sleep 0.3
game guest --join 127.0.0.1:$port --frames 100000 --fps 60
sleep 3
kill -9 "$guest_pid"
killed_at=$SECONDS
finished host
[ "$status" -eq 1 ] || fail "the host ended with $status after its guest was killed"
[ $((SECONDS - killed_at)) -ge 11 ] || fail "the host waited only $((SECONDS - killed_at)) s of its 12"
grep -q "^varnhold-sim: The other player dropped: waiting for them to come back (0:02). Escape ends the game.$" \
    "$work/host.err" || fail "no waiting line with its countdown: $(cat "$work/host.err")"
[ "$(grep -c "the other player is gone: nothing heard for 12 s" "$work/host.err")" -eq 1 ] ||
    fail "not one closing line: $(cat "$work/host.err")"
autosave=$(sed -n 's/^autosaved \(.*\) at frame [0-9]*$/\1/p' "$work/host.log")
[ -f "$autosave" ] || fail "no autosave when the guest dropped: $(cat "$work/host.log")"
"$sim" --load "$autosave" --frames 60 >"$work/check.log" 2>&1 || fail "the autosave does not load: $(cat "$work/check.log")"
checks "$work/host.vrp"
ok "a guest killed after 3 s: the host waits with its countdown, autosaves, ends $((SECONDS - killed_at)) s later with status 1; its replay checks"
# The autosave goes on as a network game with a fresh guest.
at=$(sed -n 's/^autosaved .* at frame \([0-9]*\)$/\1/p' "$work/host.log")
game host --host $port --load "$autosave" --frames 300 --record "$work/host.vrp"
sleep 0.3
game guest --join 127.0.0.1:$port --frames 300 --record "$work/guest.vrp"
both_end 0 "in the game resumed from the autosave"
[ -n "$(final host)" ] && [ "$(final host)" = "$(final guest)" ] || fail "the resumed autosave parted: $(final host) $(final guest)"
checks "$work/host.vrp"
checks "$work/guest.vrp"
ok "the autosave of frame $at resumed by --host --load with a fresh guest: 300 frames alike, both replays check"
unset XDG_DATA_HOME

# ---- a guest, then a host, killed and started again with the same command,
# straight and through the relay (the knock and the snapshot go through it too)
for who in guest host; do
for way in straight relay; do
port=$((port + 2))
called=$port
if [ $way = relay ]; then
    called=$((port + 1))
    "$relay" $called $port 50 5 2 2 11 120 >"$work/relay.log" 2>&1 &
    pids+=($!)
fi
stayer=host side=1
[ $who = host ] && stayer=guest side=0
host_run=(--host $port --seed 9 --frames 900 --fps 60 --record "$work/host.vrp")
guest_run=(--join 127.0.0.1:$called --frames 900 --fps 60 --record "$work/guest.vrp")
game host "${host_run[@]}" $([ $who = guest ] && echo --rejoin-wait 30)
sleep 0.3
game guest "${guest_run[@]}" $([ $who = host ] && echo --rejoin-wait 30)
sleep 3
kill -9 "$(eval echo "\$${who}_pid")"
if [ $who = guest ]; then
    # A stranger with the seat's token but not its secret is refused; the game waits on.
    sed 's/ .*/ 0123456789abcdef/' "$work/guest.vrp.seat" >"$work/stranger.vrp.seat"
    "$sim" --join 127.0.0.1:$called --frames 900 --record "$work/stranger.vrp" >"$work/stranger.log" 2>&1 &&
        fail "a stranger took the seat"
    grep -q "The host already has a player." "$work/stranger.log" || fail "the stranger was told: $(cat "$work/stranger.log")"
    game guest "${guest_run[@]}"
else
    game host "${host_run[@]}"
fi
both_end 0 "after the $who came back ($way)"
[ "$(final host)" = "$(final guest)" ] || fail "final states differ after the $who's return ($way): $(final host) $(final guest)"
countdown="^varnhold-sim: Both players are here: the game goes on in 1 s.$"
grep -q "$countdown" "$work/host.err" && grep -q "$countdown" "$work/guest.err" || fail "no countdown on both sides ($who, $way)"
back=$(sed -n 's/^back at frame \([0-9]*\) .*/\1/p' "$work/$who.log")
grep -q "^the other player came back at frame $back:" "$work/$stayer.log" || fail "the $stayer did not take the $who back at $back ($way)"
checks "$work/$stayer.vrp"
checks "$work/$who.vrp-from-$back.vrp"
grep -q "^all [0-9]* digests match" "$work/check.log" || fail "the returned $who's replay: $(tail -n 1 "$work/check.log")"
grep -q "^local $side$" "$work/$who.vrp-from-$back.vrp" || fail "the $who came back on another side ($way)"
ok "$way: a $who killed after 3 s$([ $who = guest ] && echo ', a stranger refused'), back at frame $back on its side with the same command, a countdown on both: alike to the end, both replays check"
echo "measured ($who, $way): $(grep -E '^(back at|playing again)' "$work/$who.log" | tr '\n' ' ')$stayer: $(grep '^the other player came back' "$work/$stayer.log")"
done
done
port=$((port + 2))

# ---- a network game saved at one frame on both sides, and resumed with --host --load
port=$((port + 1))
export XDG_DATA_HOME="$work/data"
game host --host $port --seed 21 --frames 900 --player idle --save-at 300 "$work/host.vsv" --record "$work/host.vrp"
sleep 0.3
game guest --join 127.0.0.1:$port --frames 900 --player idle --record "$work/guest.vrp"
both_end 0 "in the game saved at frame 300"
at=$(sed -n 's/^saved .* at frame \([0-9]*\)$/\1/p' "$work/host.log")
guest_save=$(sed -n "s/^saved \(.*\) at frame $at\$/\1/p" "$work/guest.log")
[ -f "$guest_save" ] || fail "the guest did not save at frame $at: $(grep saved "$work/guest.log")"
cmp -s "$work/host.vsv" "$guest_save" || fail "the two sides saved different games at frame $at"
whole=$(final host)
digests() { awk '/^d /{print $3}' "$1"; }
digests "$work/host.vrp" >"$work/whole.digests"
game host --host $port --load "$work/host.vsv" --frames $((900 - at)) --player idle --record "$work/host.vrp"
sleep 0.3
game guest --join 127.0.0.1:$port --frames $((900 - at)) --player idle --record "$work/guest.vrp"
both_end 0 "in the game resumed from its save"
[ "$(final host)" = "$whole" ] && [ "$(final guest)" = "$whole" ] ||
    fail "the resumed game ends at $(final host) and $(final guest), the whole game at $whole"
digests "$work/host.vrp" >"$work/resumed.digests"
[ -s "$work/resumed.digests" ] && [ "$(tail -n "$(wc -l <"$work/resumed.digests")" "$work/whole.digests")" = "$(cat "$work/resumed.digests")" ] ||
    fail "the resumed game's census digests are not those of the whole game from frame $at"
grep -q "^local 1$" "$work/guest.vrp" || fail "the guest of the resumed game plays another side"
checks "$work/host.vrp"
checks "$work/guest.vrp"
ok "both sides saved frame $at alike; --host --load of it with a fresh guest: $(wc -l <"$work/resumed.digests") census digests and the final state those of the whole game"
# The guest's own save hosted by the guest: each player keeps the empire played.
case "$guest_save" in *-empire1.vsv) ;; *) fail "the guest's save does not name its empire: $guest_save" ;; esac
game host --host $port --load "$guest_save" --frames $((900 - at)) --player idle --record "$work/host.vrp"
sleep 0.3
game guest --join 127.0.0.1:$port --frames $((900 - at)) --player idle --record "$work/guest.vrp"
both_end 0 "in the game its guest hosted from its save"
[ "$(final host)" = "$whole" ] || fail "the game hosted from the guest's save ends at $(final host), the whole game at $whole"
grep -q "^local 1$" "$work/host.vrp" || fail "the guest hosting its own save plays another empire"
grep -q "^local 0$" "$work/guest.vrp" || fail "the one joining the guest's save plays another empire"
checks "$work/host.vrp"
checks "$work/guest.vrp"
ok "the guest's save ($(basename "$guest_save")) hosted by the guest: empire 1 again, its guest empire 0, the final state that of the whole game"
unset XDG_DATA_HOME

# ---- games that part: the guest deals from another seed ----------------------------
port=$((port + 1))
game host --host $port --seed 12 --frames 600
sleep 0.3
game guest --join 127.0.0.1:$port --frames 600 --deal-other-seed
both_end 1 "when the games part"
for side in host guest; do
    grep -q "the games parted at frame 1$" "$work/$side.err" || fail "$side: $(cat "$work/$side.err")"
    grep -q "^fields moved: [a-z]" "$work/$side.log" || fail "$side does not name the fields that moved"
    grep -q "^slots moved: [0-9]" "$work/$side.log" || fail "$side does not name the slots that moved"
done
ok "a guest dealt from another seed: both stop naming frame 1 and the fields that moved"

# ---- hostile datagrams; a caller of another version; the guest over IPv6 -------
port=$((port + 1))
game host --host $port --seed 8 --frames 1500 --fps 60
for _ in $(seq 100); do grep -q "^waiting for a player" "$work/host.log" && break; sleep 0.1; done
# A hello of version "0.0", rules 1, nonce 2, once the host listens: refused, and the host says so.
printf 'Vh\001\001\0\0\0\0\0030.0\001\0\0\0\0\0\0\0\002\0\0\0\0\0\0\0' >/dev/udp/127.0.0.1/$port
called="[::1]:$port"
[ -f /proc/net/if_inet6 ] || called="127.0.0.1:$port"
game guest --join "$called" --frames 1500 --fps 60
sleep 1
for i in $(seq 200); do
    head -c $((RANDOM % 1500 + 1)) /dev/urandom >/dev/udp/127.0.0.1/$port
    # A lockstep packet's header with a wrong token, and one with huge counts.
    printf 'Vh\001\007\377\377\377\377\001\000\000\000\000\377\377' >/dev/udp/127.0.0.1/$port
done 2>/dev/null
both_end 0 "under a flood"
[ "$(final host)" = "$(final guest)" ] || fail "a flood changed the game"
dropped=$(sed -n 's/^datagrams dropped \([0-9]*\).*/\1/p' "$work/host.log")
[ "${dropped:-0}" -ge 200 ] || fail "only ${dropped:-0} hostile datagrams counted"
grep -q "^varnhold-sim: A player at 127.0.0.1:[0-9]* with version 0.0 could not join: this is version" \
    "$work/host.err" || fail "the host did not tell the refusal: $(cat "$work/host.err")"
ok "400 hostile datagrams from another port changed nothing; the host counted $dropped dropped, told the refused caller, and its guest joined at $called"
# ---- a peer that floods chat ------------------------------------------------------
# The host's frames, time on the CPU and memory with a quiet guest, then with
# one that puts an 80-character message beside every command (past the
# bound) and sends its packet at every turn instead of when one is due.
for flood in "" --chat-flood; do
    port=$((port + 2))
    game host --host $port --seed 3 --frames 1200 --fps 60
    sleep 0.3
    game guest --join 127.0.0.1:$port --frames 1200 --fps 60 $flood
    both_end 0 "with a guest ${flood:-that is quiet}"
    echo "measured: the host, its guest ${flood:-quiet}: $(grep -E '^(stalled|received|sent|chat shown|time)' "$work/host.log" | tr '\n' ' ')"
done
read -r shown refused < <(sed -n 's/^chat shown \([0-9]*\), refused \([0-9]*\)$/\1 \2/p' "$work/host.log")
[ "${shown:-99}" -le 30 ] || fail "a flooding guest got $shown messages on screen in 1200 frames (3 per 120 at most)"
[ "${refused:-0}" -ge 1000 ] || fail "only ${refused:-0} flooded messages refused"
ok "a guest flooding chat: $shown of its messages shown in 1200 frames, $refused refused, the game alike on both"
echo "$passed passed, 0 failed"
