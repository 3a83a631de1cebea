#!/usr/bin/env bash
# Soak: the simulator plays long games with a random player and tests the
# game's invariants after every frame (exit 3 at the first broken one). In
# the sanitizer build every out-of-bounds access, overflow or leak of those
# games also ends the run, with another non-zero code.
# Usage: test_soak.sh BUILD_DIR SOURCE_DIR
set -u

build=$(cd "$1" && pwd)
sim="$build/varnhold-sim"
frames=200000
# Each seed deals a different map and a different random player; one game
# is over long before 200000 frames, so a few of them are played.
seeds="1 2 3 20240 77777 123456789"

fail() {
    echo "FAIL: $*"
    exit 1
}

[ -x "$sim" ] || fail "no simulator at $sim"
kind="normal"
grep -q '^VARNHOLD_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null && kind="sanitizer"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
passed=0
failed=0
for seed in $seeds; do
    "$sim" --seed "$seed" --frames "$frames" --player random --check >"$log" 2>&1
    status=$?
    if [ "$status" -eq 0 ] && grep -qx "frames $frames" "$log"; then
        echo "ok: seed $seed, $frames frames ($kind build): $(grep '^living' "$log")"
        passed=$((passed + 1))
    else
        echo "FAIL: seed $seed, $frames frames ($kind build) ended with exit code $status"
        sed 's/^/  sim: /' "$log" | tail -n 40
        failed=$((failed + 1))
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
