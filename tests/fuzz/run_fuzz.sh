#!/usr/bin/env bash
# Runs a fuzz target for a bounded time from the fresh seeds it writes itself.
# Usage: run_fuzz.sh FUZZER WORK_DIR SECONDS [LIBFUZZER_FLAG...]
# Each target writes its own seeds when given --make-corpus=FOLDER; the
# flags are the target's own (input length, time and memory limits).
# A crash, a leak, a hang or a broken promise leaves its input as
# WORK_DIR/crash-* (or leak-*, timeout-*, oom-*) and fails the test.
set -u
fuzzer=$1
work=$2
seconds=$3
shift 3

rm -rf "$work"
mkdir -p "$work/seeds" "$work/corpus"
"$fuzzer" --make-corpus="$work/seeds" || exit 1

# Every seed first, once, so that a regression among them fails fast; then
# the timed run.
"$fuzzer" -runs=0 "$work/seeds" >"$work/seeds.log" 2>&1 || { cat "$work/seeds.log"; exit 1; }
"$fuzzer" -max_total_time="$seconds" "$@" -print_final_stats=1 -artifact_prefix="$work/" \
    "$work/corpus" "$work/seeds" >"$work/fuzz.log" 2>&1
status=$?
tail -n 30 "$work/fuzz.log"
runs=$(grep -o 'Done [0-9]* runs' "$work/fuzz.log" | grep -o '[0-9]*')
echo "$(basename "$fuzzer"): ${runs:-?} executions in ${seconds} s, $(ls "$work/corpus" | wc -l) corpus files, exit $status"
exit $status
