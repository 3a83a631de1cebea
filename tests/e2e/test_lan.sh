#!/usr/bin/env bash
# The games on the LAN, found by varnhold-sim --find: on 127.0.0.1, and on a
# real LAN of two network namespaces joined by a veth pair that the test
# makes (IPv4 broadcast and IPv6 link-local multicast), where a host of
# another version is listed as such and a host leaves the list when its game
# starts. Prints the time from --find to a listed game and the bytes a
# host's announcements take. Traffic stays on 127.0.0.1 and in the test's
# own namespaces. Needs root and iproute2; skipped (77) without them.
# Usage: test_lan.sh BUILD_DIR SOURCE_DIR
set -u
build=$(cd "$1" && pwd)
sim="$build/varnhold-sim"
work=$(mktemp -d)
pids=()
a="varnhold-lan-a-$$" b="varnhold-lan-b-$$"
cleanup() {
    for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
    ip netns del "$a" 2>/dev/null
    ip netns del "$b" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    for log in "$work"/*.log "$work"/*.err; do [ -s "$log" ] && tail -n 8 "$log" | sed "s|^|  $(basename "$log"): |"; done
    exit 1
}
passed=0
ok() { echo "ok: $*" && passed=$((passed + 1)); }
[ -x "$sim" ] || fail "no simulator at $sim"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
version=$("$build/varnhold" --version 2>/dev/null | awk '{print $NF}')

# run NAME [NAMESPACE] ARGS...: the simulator in the background, in a namespace when named.
run() {
    local name=$1 space=$2
    shift 2
    if [ -n "$space" ]; then
        ip netns exec "$space" "$sim" "$@" >"$work/$name.log" 2>"$work/$name.err" &
    else
        "$sim" "$@" >"$work/$name.log" 2>"$work/$name.err" &
    fi
    pids+=($!)
    eval "${name}_pid=$!"
}
# ended NAME: waits for it (at most 60 s); its exit code in status.
ended() {
    local pid
    eval "pid=\$${1}_pid"
    for _ in $(seq 600); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "$1 did not end"
    wait "$pid"
    status=$?
}
# waiting NAME: until the host says it waits (at most 10 s).
waiting() {
    for _ in $(seq 100); do grep -q '^waiting for a player' "$work/$1.log" && return; sleep 0.1; done
    fail "$1 never waited for a player"
}
# find NAME [NAMESPACE] ARGS...: a finder run to its end, exit 0.
find() {
    run "$@"
    ended "$1"
    [ "$status" -eq 0 ] || fail "$1 ended with $status"
}

# ---- On 127.0.0.1: a port of the test's own, asked at this machine only ------------
game_port=$((42000 + RANDOM % 8000))
lan_port=$((game_port + 1))
run host "" --host "$game_port" --discovery-port "$lan_port" --frames 30 --fps 60
waiting host
find found "" --find "127.0.0.1:$lan_port" --seconds 5
grep -q "  127.0.0.1:$game_port  version [^ ]*  [0-9]* ms$" "$work/found.log" ||
    fail "the loopback host as listed: $(cat "$work/found.log")"
ok "on 127.0.0.1: $(cat "$work/found.log")"
run guest "" --join "127.0.0.1:$game_port" --frames 30 --fps 60
ended guest
[ "$status" -eq 0 ] || fail "the guest of the listed game ended with $status"
ended host
read -r answers bytes < <(sed -n 's/^announcements \([0-9]*\) bytes \([0-9]*\)$/\1 \2/p' "$work/host.log")
[ "${answers:-0}" -ge 4 ] || fail "the host answered ${answers:-no} probes of a finder that asked for 5 s"

# ---- A LAN of two namespaces ---------------------------------------------------------
[ "$(id -u)" -eq 0 ] || { echo "skipped: namespaces need root"; exit 77; }
command -v ip >/dev/null || { echo "skipped: ip is not installed (package iproute2)"; exit 77; }
if ! ip netns add "$a" 2>/dev/null || ! ip netns add "$b" 2>/dev/null; then
    echo "skipped: this machine refuses network namespaces"
    exit 77
fi
for space in "$a" "$b"; do
    # Link-local IPv6 addresses at once, without the wait for duplicates.
    ip netns exec "$space" sysctl -qw net.ipv6.conf.default.accept_dad=0 net.ipv6.conf.all.accept_dad=0 2>/dev/null
done
ip link add vh-a netns "$a" type veth peer name vh-b netns "$b" 2>/dev/null ||
    { echo "skipped: this machine refuses a veth pair"; exit 77; }
ip -n "$a" addr add 10.197.0.1/24 broadcast 10.197.0.255 dev vh-a
ip -n "$b" addr add 10.197.0.2/24 broadcast 10.197.0.255 dev vh-b
for space in "$a" "$b"; do ip -n "$space" link set lo up; done
ip -n "$a" link set vh-a up
ip -n "$b" link set vh-b up

run lan_host "$a" --host --frames 60 --fps 60
run old_host "$a" --host 41972 --as-version 0.0.1 --frames 60 --fps 60
waiting lan_host
waiting old_host
find lan "$b" --find --until 2 --seconds 10
grep -q "  10.197.0.1:41970  version $version  [0-9]* ms$" "$work/lan.log" ||
    fail "our version's host as listed: $(cat "$work/lan.log")"
grep -q "  10.197.0.1:41972  version 0.0.1 (other version)  [0-9]* ms$" "$work/lan.log" ||
    fail "the other version's host as listed: $(cat "$work/lan.log")"
ok "on the namespaces' LAN, over broadcast: $(tr '\n' '|' <"$work/lan.log")"
listed_ms=$(sed -n 's/.*listed after \([0-9]*\) ms:.*/\1/p' "$work/lan.err" | head -n 1)

if ip -n "$b" -6 addr show dev vh-b | grep -q 'inet6 fe80'; then
    find lan6 "$b" --find "[ff02::1%vh-b]" --until 2 --seconds 10
    grep -q "  \[fe80::[0-9a-f:]*%[0-9]*\]:41970  version $version  [0-9]* ms$" "$work/lan6.log" ||
        fail "the host found over the IPv6 group: $(cat "$work/lan6.log")"
    ok "over the link-local IPv6 group: $(head -n 1 "$work/lan6.log")"
    # The address as listed is one a guest can call.
    address=$(grep "version $version " "$work/lan6.log" | awk '{print $2}')
else
    echo "note: no IPv6 in the namespaces; the group was not tried"
    address=10.197.0.1:41970
fi

# The finder watches while a guest takes the seat: the host leaves the list.
run watch "$b" --find --seconds 6
sleep 1.5
run lan_guest "$b" --join "$address" --frames 60 --fps 60
ended lan_guest
[ "$status" -eq 0 ] || fail "the guest of $address ended with $status"
ended watch
grep -q "gone after [0-9]* ms: .*  10.197.0.1:41970  version $version " "$work/watch.err" ||
    fail "the host whose game started stayed listed"
[ "$(wc -l <"$work/watch.log")" -eq 1 ] && grep -q '(other version)' "$work/watch.log" ||
    fail "the list once the game started: $(cat "$work/watch.log")"
ok "the host left the list when its game started; the other stayed"
kill "$old_host_pid" 2>/dev/null

echo "figure: from --find to a listed game on the namespaces' LAN: ${listed_ms:-?} ms"
echo "figure: a host's announcements: $answers of $((bytes / answers)) bytes each (UDP payload) to a finder that asked for 5 s at one address; $((bytes * 60 / answers)) bytes a minute for each address a finder asks at"
echo "$passed passed, 0 failed"
