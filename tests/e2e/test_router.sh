#!/usr/bin/env bash
# A home network behind a router (namespaces, nftables masquerade, miniupnpd)
# and an Internet: the host at home opens its port by PCP, then by UPnP alone;
# a guest on the Internet joins the address named, both replays check, the
# port is closed after. miniupnpd stopped: the LAN plays at once and the host
# says nothing answered. Traffic stays in the test's namespaces. Needs root.
# Usage: test_router.sh BUILD_DIR SOURCE_DIR
set -u
build=$(cd "$1" && pwd)
sim="$build/varnhold-sim"
work=$(mktemp -d)
chmod 755 "$work"
tag=vh$$
home=$tag-home router=$tag-router internet=$tag-net
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
    wait 2>/dev/null
    for ns in $home $router $internet; do ip netns del $ns 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    for log in "$work"/*.log "$work"/*.err; do [ -s "$log" ] && tail -n 8 "$log" | sed "s|^|  $(basename "$log"): |"; done
    exit 1
}
skip() { echo "skipped: $*" && exit 77; }
passed=0
ok() { echo "ok: $*" && passed=$((passed + 1)); }
for tool in ip nft miniupnpd upnpc socat; do
    command -v $tool >/dev/null || skip "$tool is not installed (packages iproute2 nftables miniupnpd miniupnpd-nftables miniupnpc socat)"
done
[ -x "$sim" ] || fail "no simulator at $sim"
[ "$(id -u)" -eq 0 ] || skip "network namespaces need root"
ip netns add $home 2>"$work/netns.err" || skip "network namespaces are refused here: $(cat "$work/netns.err")"
ip netns add $router && ip netns add $internet || fail "no second namespace"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
# Only the network namespace changes: ip netns exec would also remount /sys,
# which a chroot refuses.
inside() { nsenter --net="/run/netns/$1" "${@:2}"; }

# The home network 10.77.0.0/24; the Internet 100.200.7.0/24, an address
# miniupnpd takes for a public one (it refuses private and documentation ones).
ip link add h0 netns $home type veth peer name r0 netns $router || skip "veth pairs are refused here"
ip link add r1 netns $router type veth peer name i0 netns $internet || skip "veth pairs are refused here"
for ns in $home $router $internet; do inside $ns ip link set lo up; done
inside $home ip addr add 10.77.0.2/24 dev h0 && inside $home ip link set h0 up && inside $home ip route add default via 10.77.0.1
inside $router ip addr add 10.77.0.1/24 dev r0 && inside $router ip link set r0 up
inside $router ip addr add 100.200.7.1/24 dev r1 && inside $router ip link set r1 up
inside $internet ip addr add 100.200.7.2/24 dev i0 && inside $internet ip link set i0 up
inside $router sysctl -qw net.ipv4.ip_forward=1 || fail "the router does not forward"
# What miniupnpd's nftables backend expects to find: it adds its rules to
# the chains miniupnpd, prerouting_miniupnpd and postrouting_miniupnpd.
inside $router nft -f - <<'EOF' || skip "nftables is refused here (no nf_tables in this kernel?)"
table inet filter {
    chain miniupnpd {}
    chain prerouting_miniupnpd {}
    chain postrouting_miniupnpd {}
    chain forward { type filter hook forward priority 0; policy drop;
        ct state established,related accept; iifname "r0" accept; jump miniupnpd; }
    chain prerouting { type nat hook prerouting priority -100; policy accept; jump prerouting_miniupnpd; }
    chain postrouting { type nat hook postrouting priority 100; policy accept;
        jump postrouting_miniupnpd; oifname "r1" masquerade; }
}
EOF
# start_router: miniupnpd in the foreground, with UPnP, NAT-PMP and PCP.
start_router() {
    cat >"$work/miniupnpd.conf" <<EOF
ext_ifname=r1
listening_ip=r0
http_port=0
enable_natpmp=yes
enable_upnp=yes
ipv6_disable=yes
allow 1024-65535 10.77.0.0/24 1024-65535
deny 0-65535 0.0.0.0/0 0-65535
EOF
    inside $router miniupnpd -f "$work/miniupnpd.conf" -d -P "$work/miniupnpd.pid" >"$work/miniupnpd.log" 2>&1 &
    router_pid=$!
    pids+=($router_pid)
    for _ in $(seq 50); do inside $router nft list chain inet filter miniupnpd >/dev/null 2>&1 && grep -q "HTTP listening" "$work/miniupnpd.log" && break; sleep 0.1; done
    pids+=($(cat "$work/miniupnpd.pid" 2>/dev/null))
    kill -0 $router_pid 2>/dev/null || fail "miniupnpd did not start: $(tail -n 3 "$work/miniupnpd.log")"
}
# stop_router: miniupnpd ends (nsenter becomes it, so its process is the one started here).
stop_router() {
    kill "$(cat "$work/miniupnpd.pid")" 2>/dev/null
    wait $router_pid 2>/dev/null
    rm -f "$work/miniupnpd.pid"
}
# game NS NAME ARGS...: a headless peer in namespace NS, its output in NAME.log.
game() {
    inside $1 "$sim" "${@:3}" >"$work/$2.log" 2>"$work/$2.err" &
    pids+=($!)
    eval "${2}_pid=$!"
}
# finished NAME: the peer ends (within 60 s) with status 0.
finished() {
    local pid
    eval "pid=\$${1}_pid"
    for _ in $(seq 600); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
    wait "$pid" || fail "$1 ended with $? (or did not end)"
}
# wait_line NAME PATTERN: until NAME.log has a line matching PATTERN (at most 10 s).
wait_line() {
    for _ in $(seq 100); do grep -qE "$2" "$work/$1.log" && return 0; sleep 0.1; done
    fail "$1 never said: $2"
}
mapped_rules() { inside $router nft list chain inet filter miniupnpd 2>/dev/null | grep -c "dport 41970"; }
# play_from_internet WAY FRAMES: the host at home asks, the guest on the
# Internet joins the address named, both play FRAMES and check their replays.
play_from_internet() {
    local way=$1 frames=$2
    game $home host --host 41970 --seed 17 --frames "$frames" --fps 60 --record "$work/host.vrp"
    wait_line host "is open on the router \\($way\\)"
    local address=$(sed -n 's/.*players on the Internet join \([0-9.]*:[0-9]*\)$/\1/p' "$work/host.log" | head -n1)
    [ "$address" = 100.200.7.1:41970 ] || fail "the host named '$address', not the router's outside address"
    [ "$(mapped_rules)" -ge 1 ] || fail "the router holds no rule for port 41970 by $way"
    game $internet guest --join "$address" --frames "$frames" --fps 60 --record "$work/guest.vrp"
    for side in guest host; do finished $side; done
    for side in guest host; do
        "$sim" --replay "$work/$side.vrp" >"$work/check.log" 2>&1 || fail "the $side's replay does not check ($way)"
    done
    ok "by $way: $(grep -o 'opened port 41970 by [A-Za-z-]* after [0-9]* ms' "$work/host.err" | head -n1); a guest on the Internet joined $address, $frames frames, both replays check"
    [ "$(mapped_rules)" -eq 0 ] || fail "the router still forwards port 41970 after the game ($way)"
    inside $home upnpc -l >"$work/upnpc.log" 2>&1
    grep -q "UDP *41970" "$work/upnpc.log" && fail "upnpc still lists port 41970 after the game"
    grep -q "closed port 41970 again" "$work/host.err" || fail "the host did not say it closed the port ($way)"
    ok "by $way: the port is closed after the game (nft and upnpc -l list none)"
}

start_router
play_from_internet PCP 300
# A router of UPnP alone: its NAT-PMP and PCP port hears nothing.
inside $router nft 'add table inet guard; add chain inet guard input { type filter hook input priority 0; udp dport 5351 drop; }'
play_from_internet UPnP 300
stop_router

# ---- nothing answers: the LAN plays at once, the host says so within seconds --
inside $home ip addr add 10.77.0.3/24 dev h0
game $home host --host 41970 --seed 4 --frames 360 --fps 60
game $home guest --join 10.77.0.2:41970 --frames 360 --fps 60
wait_line host "No router answered"
for side in guest host; do finished $side; done
joined=$(grep -n "a player joined" "$work/host.log" | cut -d: -f1)
told=$(grep -n "No router answered" "$work/host.log" | cut -d: -f1)
[ -n "$joined" ] && [ "$joined" -lt "$told" ] || fail "the LAN guest was not taken before the router's word"
grep -q "^Asking the router to open port 41970" "$work/host.log" || fail "the host did not say it was asking"
ok "no router: $(grep -o 'a player joined after [0-9]* ms' "$work/host.log"), $(grep -o 'settled after [0-9]* ms' "$work/host.err")"

# ---- a UPnP device whose description is no XML, or never ends -------------
# The host says so in a line and the LAN game plays as before; an answer
# without end costs the host no more memory than a game without a router.
lan_game() {
    game $home host --host 41970 --seed 4 --frames 360 --fps 60
    game $home guest --join 10.77.0.2:41970 --frames 360 --fps 60
    wait_line host "No router answered"
    for side in guest host; do finished $side; done
}
resident_kb() { sed -n 's/.*most memory resident \([0-9]*\) KB$/\1/p' "$work/host.log"; }
# The device's answer to one HTTP request on stdin, by MODE: a description
# that is no XML, one without end, or a router's description (a connection
# service and its control address) whose control answers never end.
cat >"$work/device.sh" <<'EOF'
read -r method rest
printf 'HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n\r\n'
case "$1:$method" in
    not-xml:*) printf '\001\002 this is no description {]]> <<<\377' ;;
    huge:* | endless-answer:POST) printf '<?xml version="1.0"?><root><device>' && yes '<x>1</x>' ;;
    *) printf '%s' '<?xml version="1.0"?><root xmlns="urn:schemas-upnp-org:device-1-0"><device><deviceList><device><deviceList><device><serviceList><service><serviceType>urn:schemas-upnp-org:service:WANIPConnection:1</serviceType><controlURL>/ctl/IPConn</controlURL></service></serviceList></device></deviceList></device></deviceList></device></root>' ;;
esac
EOF
# hostile_device MODE LINE: a UPnP device of the test's own (socat in the
# router namespace) answers the search and serves as MODE says; the host's
# UPnP line is LINE and its memory stays put.
hostile_device() {
    local device=urn:schemas-upnp-org:device:InternetGatewayDevice:1
    printf 'HTTP/1.1 200 OK\r\nST: %s\r\nUSN: uuid:1::%s\r\nLOCATION: http://10.77.0.1:1901/rootDesc.xml\r\n\r\n' \
        $device $device >"$work/search.txt"
    rm -f "$work/searches"
    # nsenter itself in the background (not a function): its pid is socat's.
    nsenter --net="/run/netns/$router" socat UDP4-RECVFROM:1900,ip-add-membership=239.255.255.250:10.77.0.1,reuseaddr,fork \
        SYSTEM:"echo >>$work/searches; cat $work/search.txt" 2>"$work/device.err" &
    pids+=($!)
    local searched=$!
    nsenter --net="/run/netns/$router" socat TCP-LISTEN:1901,reuseaddr,fork SYSTEM:"bash $work/device.sh $1" 2>>"$work/device.err" &
    pids+=($!)
    local served=$!
    for _ in $(seq 50); do
        inside $router ss -lnu | grep -q ':1900 ' && inside $router ss -lnt | grep -q ':1901 ' && break
        sleep 0.1
    done
    lan_game
    kill "$searched" "$served" 2>/dev/null
    wait "$searched" "$served" 2>/dev/null
    [ -s "$work/searches" ] || fail "the host's search never reached the device ($1)"
    grep -q "router: UPnP: $2" "$work/host.err" || fail "the host did not say: $2 ($1)"
    local kb=$(resident_kb)
    [ -n "$kb" ] || fail "the host did not say its memory ($1)"
    [ "$kb" -le $((quiet_kb + 8192)) ] || fail "a device's $1 answer took the host from $quiet_kb KB to $kb KB"
    ok "a UPnP device answering $1: the host said \"$2\", ended at $kb KB (without a router: $quiet_kb KB), the LAN game played"
}
lan_game
quiet_kb=$(resident_kb)
hostile_device not-xml "a UPnP device answered, but no router of its description could be read"
hostile_device huge "a UPnP device answered, but its description was refused: its answer is longer than 64 kB"
hostile_device endless-answer "the router's answer to GetExternalIPAddress was refused: its answer is longer than 64 kB"
echo "$passed passed, 0 failed"
