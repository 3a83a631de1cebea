#!/usr/bin/env bash
# Runs the replay reader's fuzz target for a bounded time, seeded with real
# replays that the target records itself.
# Usage: run_fuzz.sh FUZZER WORK_DIR SECONDS
# A crash, a leak, a hang or a broken promise leaves its input as
# WORK_DIR/crash-* (or leak-*, timeout-*, oom-*) and fails the test.
set -u
fuzzer=$1
work=$2
seconds=$3

rm -rf "$work"
mkdir -p "$work/seeds" "$work/corpus"
"$fuzzer" --make-corpus="$work/seeds" || exit 1

# Every seed first, once; then the timed run. No allocation of the reader
# grows with the file, so a small memory limit catches one that would.
"$fuzzer" -runs=0 "$work/seeds" >"$work/seeds.log" 2>&1 || { cat "$work/seeds.log"; exit 1; }
"$fuzzer" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=1024 -malloc_limit_mb=64 \
    -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" "$work/seeds" >"$work/fuzz.log" 2>&1
status=$?
tail -n 30 "$work/fuzz.log"
runs=$(grep -o 'Done [0-9]* runs' "$work/fuzz.log" | grep -o '[0-9]*')
echo "fuzz_replay: ${runs:-?} executions in ${seconds} s, $(ls "$work/corpus" | wc -l) corpus files, exit $status"
exit $status
