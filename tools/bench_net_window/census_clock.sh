# The network benchmarks' clock: a host window's frames read from the census
# lines its replay ($work/host.vrp) writes every 30 frames, each timed as it
# appears, and a process's CPU ticks and memory from /proc.
census() { grep '^d ' "$work/host.vrp" | tail -n1 | cut -d' ' -f2; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# next_census: waits for the next census line; "FRAME MS" at its moment.
next_census() {
    local before after
    before=$(census)
    for _ in $(seq 3000); do
        after=$(census)
        [ "$after" != "$before" ] && echo "$after $(now_ms)" && return
        sleep 0.005
    done
    echo "$before $(now_ms)"
}
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
memory_kb() { awk -v key="$2:" '$1 == key { print $2 }' "/proc/$1/status"; }
