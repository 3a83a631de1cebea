#!/usr/bin/env bash
# Runs a fuzz target for a bounded time from the fresh seeds it writes itself.
# Usage: run_fuzz.sh FUZZER WORK_DIR SECONDS
# Each target writes its own seeds when given --make-corpus=FOLDER.
# A crash, a leak or a broken promise leaves its input as WORK_DIR/crash-*
# (or leak-*, timeout-*) and fails the test.
set -u
fuzzer=$1
work=$2
seconds=$3

rm -rf "$work"
mkdir -p "$work/seeds" "$work/corpus"
"$fuzzer" --make-corpus="$work/seeds" || exit 1

# Every seed first, once, so that a regression among them fails fast; then
# the timed run. Inputs up to 64 KiB reach pictures of 64 x 64 and more.
"$fuzzer" -runs=0 "$work/seeds" >"$work/seeds.log" 2>&1 || { cat "$work/seeds.log"; exit 1; }
"$fuzzer" -max_total_time="$seconds" -max_len=65536 -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" "$work/seeds" >"$work/fuzz.log" 2>&1
status=$?
tail -n 30 "$work/fuzz.log"
runs=$(grep -o 'Done [0-9]* runs' "$work/fuzz.log" | grep -o '[0-9]*')
echo "$(basename "$fuzzer"): ${runs:-?} executions in ${seconds} s, $(ls "$work/corpus" | wc -l) corpus files, exit $status"
exit $status
