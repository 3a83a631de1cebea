#!/usr/bin/env bash
# A network game's pace in two real windows on virtual X servers (127.0.0.1
# only): frames a second while both are shown and while both are minimised,
# and each process's share of a core while minimised, running and stalled
# (the guest stopped with SIGSTOP), both minimised and the host shown. Frames are read from the census lines the
# host's replay writes every 30 frames, timed at the moment each appears.
# Prints figures; fails only when a window cannot be run at all.
# Usage: bench_net_window.sh BUILD_DIR SOURCE_DIR [SECONDS]
source "$(dirname "$0")/../../tests/e2e/harness.sh"
seconds=${3:-10}
start_two_xservers
port=$((44000 + RANDOM % 8000))

start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 --seed 5 --host "$port" --no-port-mapping --record "$work/host.vrp"
host_window=$window host_pid=$game_pid
wait_for_text 40 130 "Waiting for a player" 60 || fail "the host does not wait"
(cd "$build" && DISPLAY=$guest_display exec "${game_launcher[@]}" ./varnhold --scale 1 --join "127.0.0.1:$port" \
    --no-record) >"$work/guest.log" 2>&1 &
guest_pid=$!
background_pids+=($guest_pid)
wait_until 60 eval 'guest_window=$(DISPLAY=$guest_display xdotool search --name "^VARNHOLD$" 2>/dev/null | head -n1); [ -n "$guest_window" ]' ||
    fail "no guest window"
wait_for_game "the host" "Waiting for a player"
wait_for_game "the guest" "Connecting to" "$guest_display" "$guest_window"

source "$(dirname "$0")/census_clock.sh"
# measure WHAT: frames a second over about $seconds, and both processes' CPU.
measure() {
    local f0 t0 f1 t1 h0 g0 h1 g1 hz
    hz=$(getconf CLK_TCK)
    read -r f0 t0 < <(next_census)
    h0=$(cpu_ticks "$host_pid") g0=$(cpu_ticks "$guest_pid")
    sleep "$seconds"
    read -r f1 t1 < <(next_census)
    h1=$(cpu_ticks "$host_pid") g1=$(cpu_ticks "$guest_pid")
    awk -v w="$1" -v f=$((f1 - f0)) -v t=$((t1 - t0)) -v h=$((h1 - h0)) -v g=$((g1 - g0)) -v hz="$hz" 'BEGIN {
        printf "measured: %s: %d frames in %.2f s, %.1f frames a second; CPU host %.1f %%, guest %.1f %% of a core\n",
            w, f, t / 1000, f * 1000 / t, h * 100000 / hz / t, g * 100000 / hz / t }'
}

measure "both shown"
xdotool windowunmap "$host_window"
DISPLAY=$guest_display xdotool windowunmap "$guest_window"
sleep 1
measure "both minimised"
# stalled WHAT: the host's share of a core while the guest is stopped (at most 8 s: 10 s end the game).
stalled() {
    kill -STOP "$guest_pid"
    sleep 1
    local h0 t0 h1 t1
    h0=$(cpu_ticks "$host_pid") t0=$(now_ms)
    sleep "$((seconds < 7 ? seconds : 7))"
    h1=$(cpu_ticks "$host_pid") t1=$(now_ms)
    [ -n "${1#*shown}" ] || dump "$work/stalled.xwd"
    kill -CONT "$guest_pid"
    awk -v w="$1" -v h=$((h1 - h0)) -v t=$((t1 - t0)) -v hz="$(getconf CLK_TCK)" 'BEGIN {
        printf "measured: %s, the guest stopped: CPU host %.1f %% of a core while stalled\n", w, h * 100000 / hz / t }'
}
stalled "both minimised"
xdotool windowmap "$host_window"
sleep 2
stalled "the host shown"
"$check" shows "$work/stalled.xwd" 40 130 "Waiting for the other player" >/dev/null || fail "the stalled host does not say it waits"
xdotool keydown Escape
wait_for_exit 60 || fail "Escape did not end the host's game"
xdotool keyup Escape
