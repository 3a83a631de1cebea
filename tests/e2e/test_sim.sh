#!/usr/bin/env bash
# The headless simulator as a tool and as a soak: the dealt game's dump and
# the options it refuses, then long games of a random player with the game's
# invariants tested after every frame (exit 3 at the first broken one). In
# the sanitizer build every out-of-bounds access, overflow or leak of those
# games fails the run too. (The golden games pin what the games play.)
# Usage: test_sim.sh BUILD_DIR SOURCE_DIR
set -u
sim="$1/varnhold-sim"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"

"$sim" --seed 99 --frames 0 --dump "$work/dealt.txt" >"$work/dealt.summary" || fail "the simulator did not deal a game"
[ "$(wc -l <"$work/dealt.txt")" -eq 85 ] || fail "the dealt dump is not 85 lines"
grep -qx '0 1 0 32 4 10 0 20.00 20.00 1000.00 0 [0-9]*' "$work/dealt.txt" || fail "player's leader line"
grep -qx '1 1 1 32 59 10 0 20.00 20.00 1000.00 0 [0-9]*' "$work/dealt.txt" || fail "computer's leader line"
grep -qx 'frames 0' "$work/dealt.summary" || fail "summary of zero frames"
for bad in "--frames -3" "--player sometimes"; do
    # shellcheck disable=SC2086
    "$sim" $bad 2>/dev/null && fail "the simulator accepted $bad"
done
"$sim" --help >"$work/help.out" 2>"$work/help.err" || fail "--help ended with $?"
grep -q '^usage: varnhold-sim' "$work/help.out" && [ ! -s "$work/help.err" ] || fail "--help's usage is not on stdout alone"
echo "ok: the dealt game's dump; bad options refused; --help on stdout with status 0"

# Each seed deals another map and plays another random player; a game is
# over long before 200000 frames, so several are played.
for seed in 1 2 3 20240 77777 123456789; do
    "$sim" --seed "$seed" --frames 200000 --player random --check >"$work/log" 2>&1 && grep -qx "frames 200000" "$work/log" ||
        { tail -n 40 "$work/log" | sed 's/^/  sim: /'; fail "seed $seed ended with a broken invariant or a fault"; }
    echo "ok: seed $seed, 200000 frames with the invariants checked: $(grep '^living' "$work/log")"
done
echo "7 passed, 0 failed"
