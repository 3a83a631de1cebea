#!/usr/bin/env bash
# The games on the LAN: varnhold-sim --find on 127.0.0.1, then on a real LAN
# of two network namespaces joined by a veth pair that the test makes (IPv4
# broadcast and IPv6 link-local multicast): a host of another version listed
# as such, a host gone from the list when its game starts, and the window's
# list (varnhold --join alone), where the marked game's number key does
# nothing, the other's joins, and Escape leaves. Prints the time from --find
# to a listed game and the bytes of a host's announcements. Traffic stays on
# 127.0.0.1 and in the test's own namespaces (root and iproute2; skipped
# with 77 without them).
# Usage: test_lan.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/harness.sh"
a="varnhold-lan-a-$$" b="varnhold-lan-b-$$"
test_cleanup() { ip netns del "$a" 2>/dev/null; ip netns del "$b" 2>/dev/null; }
version=$("$build/varnhold" --version | awk '{print $NF}')
# run NAME NAMESPACE|- ARGS...: the simulator in the background (in the namespace), output in NAME.log and NAME.err.
run() {
    local name=$1 space=$2 in=() mapping=()
    shift 2
    [ "$space" != - ] && in=(nsenter --net="/run/netns/$space")
    # A host asks no router for its port: the lists are this test's subject.
    [ "$1" = --host ] && mapping=(--no-port-mapping)
    "${in[@]}" "$build/varnhold-sim" "$@" "${mapping[@]}" >"$work/$name.log" 2>"$work/$name.err" &
    background_pids+=($!)
    eval "${name}_pid=$!"
}
# ended NAME: waits for it (at most 60 s), and for exit 0.
ended() {
    local pid
    eval "pid=\$${1}_pid"
    wait_until 60 eval "! kill -0 $pid 2>/dev/null"
    wait "$pid" || fail "$1 ended with $?: $(tail -n 3 "$work/$1.err")"
}
waiting() { wait_until 10 grep -q '^waiting for a player' "$work/$1.log" || fail "$1 never waited for a player"; }
listed() { grep -q "$2" "$work/$1.log" || fail "$3 as listed: $(cat "$work/$1.log")"; }

# On 127.0.0.1, at ports of the test's own, asked for 5 s: one answer a second.
port=$((42000 + RANDOM % 8000))
run host - --host "$port" --discovery-port $((port + 1)) --frames 30 --fps 60
waiting host
run found - --find "127.0.0.1:$((port + 1))" --seconds 5 && ended found
listed found "  127.0.0.1:$port  version $version  [0-9]* ms$" "the loopback host"
ok "on 127.0.0.1: $(cat "$work/found.log")"
run guest - --join "127.0.0.1:$port" --frames 30 --fps 60 && ended guest && ended host
read -r answers bytes < <(sed -n 's/^announcements \([0-9]*\) bytes \([0-9]*\),.*/\1 \2/p' "$work/host.log")
[ "${answers:-0}" -ge 4 ] || fail "the host answered ${answers:-no} probes of a finder that asked for 5 s"

[ "$(id -u)" -eq 0 ] && command -v ip >/dev/null || skip "network namespaces need root and ip (package iproute2)"
ip netns add "$a" 2>/dev/null && ip netns add "$b" 2>/dev/null || skip "this machine refuses network namespaces"
ip link add vh-a netns "$a" type veth peer name vh-b netns "$b" 2>/dev/null || skip "this machine refuses a veth pair"
for side in a b; do
    eval "space=\$$side"
    # Link-local IPv6 addresses at once, without the wait for duplicates.
    nsenter --net="/run/netns/$space" sysctl -qw net.ipv6.conf.default.accept_dad=0 net.ipv6.conf.all.accept_dad=0
    nsenter --net="/run/netns/$space" ip addr add "10.197.0.$([ $side = a ] && echo 1 || echo 2)/24" broadcast 10.197.0.255 dev "vh-$side"
    nsenter --net="/run/netns/$space" ip link set lo up && nsenter --net="/run/netns/$space" ip link set "vh-$side" up
done

run lan_host "$a" --host --frames 60 --fps 60
run old_host "$a" --host 41972 --as-version 0.0.1 --frames 60 --fps 60
waiting lan_host && waiting old_host
run lan "$b" --find --until 2 --seconds 10 && ended lan
listed lan "  10.197.0.1:41970  version $version  [0-9]* ms$" "our version's host"
listed lan "  10.197.0.1:41972  version 0.0.1 (other version)  [0-9]* ms$" "the other version's host"
ok "on the namespaces' LAN, over broadcast: $(tr '\n' '|' <"$work/lan.log")"
address=10.197.0.1:41970
if nsenter --net="/run/netns/$b" ip -6 addr show dev vh-b | grep -q 'inet6 fe80'; then
    run lan6 "$b" --find "[ff02::1%vh-b]" --until 2 --seconds 10 && ended lan6
    listed lan6 "  \[fe80::[0-9a-f:]*%[0-9]*\]:41970  version $version  [0-9]* ms$" "the host found over ff02::1"
    ok "over the link-local IPv6 group: $(grep "version $version " "$work/lan6.log")"
    address=$(grep "version $version " "$work/lan6.log" | awk '{print $2}')  # a guest calls it as listed
fi

# A finder watches while a guest takes the seat: the host leaves the list, the other stays.
run watch "$b" --find --seconds 6
sleep 1.5
run lan_guest "$b" --join "$address" --frames 60 --fps 60 && ended lan_guest && ended watch
grep -q "gone after [0-9]* ms: .*  10.197.0.1:41970  version $version " "$work/watch.err" ||
    fail "the host whose game started stayed listed"
[ "$(grep -c . "$work/watch.log")" -eq 1 ] && listed watch "(other version)" "the list once the game started"
ok "the host left the list when its game started; the other stayed"

# The window's list: the two games in the order first heard.
run window_host "$a" --host --frames 120 --fps 60
waiting window_host
start_xserver
start_game "$build" nsenter --net="/run/netns/$b" "${game_launcher[@]}" ./varnhold --scale 1 --join --no-record
wait_for_text 40 90 "2  " 30 || fail "the window did not list two games"
shows 40 110 "1  $(hostname | cut -c1-31)  10.197.0.1:41972  version 0.0.1 (other version)" && other=1 || other=2
hold_key "$other" 1.5
shows 40 130 "Games on the LAN: a number key joins one." || fail "the marked game's number key left the list"
hold_key $((3 - other)) 0.5
ended window_host
wait_for_exit 30 && [ "$exit_code" -eq 0 ] || fail "the window ended with ${exit_code:-none} after its game"
ok "in the window the marked game cannot be chosen; the other's number key joined it and the game was played"
kill "$old_host_pid"
start_game "$build" nsenter --net="/run/netns/$b" "${game_launcher[@]}" ./varnhold --scale 1 --join --no-record
wait_for_text 40 130 "Looking for games on the LAN..." 30 || fail "an empty list does not say it looks"
quit_with_escape "the list"
ok "Escape leaves the window's list with status 0"

echo "measured: from --find to a listed game on the namespaces' LAN:" \
    "$(sed -n 's/.*listed after \([0-9]*\) ms:.*/\1/p' "$work/lan.err" | head -n 1) ms"
echo "measured: a host's announcements: $answers of $((bytes / answers)) bytes (UDP payload) to a finder that" \
    "asked at one address for 5 s: $((bytes * 60 / answers)) bytes a minute for each address a finder asks at"
finish
