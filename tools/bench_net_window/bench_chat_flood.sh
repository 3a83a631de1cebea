#!/usr/bin/env bash
# A host's window against a headless guest on 127.0.0.1 that is quiet, then
# against one that floods chat (varnhold-sim --chat-flood: a message past the
# bound beside every command, its packet sent at every turn): the window's
# frames a second, read from the census lines of its replay, its share of a
# core and its memory, and the messages it showed. Prints figures; fails
# only when a window cannot be run at all.
# Usage: bench_chat_flood.sh BUILD_DIR SOURCE_DIR [SECONDS]
source "$(dirname "$0")/../../tests/e2e/harness.sh"
seconds=${3:-10}
sim="$build/varnhold-sim"
[ -x "$sim" ] || fail "no simulator at $sim"
start_xserver
port=$((44000 + RANDOM % 8000))

source "$(dirname "$0")/census_clock.sh"

for flood in "" --chat-flood; do
    port=$((port + 1))
    start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 --seed 5 --host "$port" --no-port-mapping --record "$work/host.vrp"
    wait_for_text 40 130 "Waiting for a player" 60 || fail "the host does not wait"
    "$sim" --join "127.0.0.1:$port" --frames $(((seconds + 6) * 60)) --fps 60 $flood >"$work/guest.log" 2>&1 &
    background_pids+=($!)
    wait_for_game "the host" "Waiting for a player"
    read -r f0 t0 < <(next_census)
    c0=$(cpu_ticks "$game_pid") m0=$(memory_kb "$game_pid" VmRSS)
    sleep "$seconds"
    read -r f1 t1 < <(next_census)
    c1=$(cpu_ticks "$game_pid") m1=$(memory_kb "$game_pid" VmRSS) peak=$(memory_kb "$game_pid" VmHWM)
    wait_for_exit 60 || fail "the host did not end with its guest's last frame"
    awk -v w="${flood:-a quiet guest}" -v f=$((f1 - f0)) -v t=$((t1 - t0)) -v c=$((c1 - c0)) -v hz="$(getconf CLK_TCK)" \
        -v m0="$m0" -v m1="$m1" -v peak="$peak" -v said="$(grep -c 'chat at frame' "$work/game.log")" 'BEGIN {
        printf "measured: the host window, %s: %.1f frames a second, %.1f %% of a core, resident %d kB then %d kB (peak %d kB), %d messages shown\n",
            w, f * 1000 / t, c * 100000 / hz / t, m0, m1, peak, said }'
done
finish
