#!/usr/bin/env bash
# The simulator: one seed and one set of options always play the same game.
set -euo pipefail
build=$1
sim="$build/varnhold-sim"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; exit 1; }

# The dealt game: 85 lines, the leaders on their tiles with 1000 gold.
"$sim" --seed 99 --frames 0 --dump "$work/dealt.txt" >"$work/dealt.summary"
[ "$(wc -l <"$work/dealt.txt")" -eq 85 ] || fail "dealt dump is not 85 lines"
grep -qx '0 1 0 32 4 10 0 20.00 20.00 1000.00 0 [0-9]*' "$work/dealt.txt" || fail "player's leader line"
grep -qx '1 1 1 32 59 10 0 20.00 20.00 1000.00 0 [0-9]*' "$work/dealt.txt" || fail "computer's leader line"
grep -qx 'frames 0' "$work/dealt.summary" || fail "summary of zero frames"

# Two runs of each player style give byte-identical dumps and summaries,
# timings aside; different seeds give different games.
for player in idle attack random; do
  for run in 1 2; do
    "$sim" --seed 4242 --frames 6000 --player $player --dump "$work/$player.$run.txt" \
      | grep -v '^ms_per_frame' >"$work/$player.$run.summary"
  done
  cmp "$work/$player.1.txt" "$work/$player.2.txt" || fail "$player dumps differ"
  cmp "$work/$player.1.summary" "$work/$player.2.summary" || fail "$player summaries differ"
done
"$sim" --seed 4243 --frames 6000 --player random --dump "$work/other.txt" >/dev/null
cmp -s "$work/random.1.txt" "$work/other.txt" && fail "two seeds played the same game"

# The idle player recruits nobody, so it still has its leader alone.
grep -q '^living player 1 ' "$work/idle.1.summary" || fail "idle player gained or lost units"

# Bad options are refused with a usage message.
if "$sim" --frames -3 2>/dev/null; then fail "negative frame count accepted"; fi
if "$sim" --player sometimes 2>/dev/null; then fail "unknown player accepted"; fi
echo "simulator runs are reproducible"
