#!/usr/bin/env bash
# Snapshots through the headless simulator, each load in a fresh process:
# a game saved at many frames and continued gives every later census digest
# of the game played through; a snapshot loaded and taken again is the same
# bytes; a game continued from a snapshot records a replay that checks;
# every kind of broken save is refused at start with one line and exit 1;
# a save killed mid-write leaves a whole one. (A full disk: test_saves.sh.)
# Usage: test_snapshots.sh BUILD_DIR SOURCE_DIR
set -u
sim="$1/varnhold-sim"
work=$(mktemp -d)
trap 'chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}
passed=0
ok() { echo "ok: $*" && passed=$((passed + 1)); }

# Census lines after frame $2 of the whole game, counted from there.
censuses_after() { awk -v n="$2" '$1 == "census" && $2 > n { print $2 - n, $3, $4 }' "$1"; }

# Busy games: a person on side 0 (recruiting, ordering, pacing, dealing
# again at frame 700) against the computer (mining, raiding), won at frame
# 21192, or against a second person, lost at 13452. Saves at the first
# frame, at censuses and between, at the deal, at the first raids, mid-walk
# and mid-fight, at the frame that ends the game and after it.
check_game() {
    local name=$1 frames=$2 over=$3 saves=$4
    shift 4
    local game=(--seed 1 --player busy --deal-at 700 "$@")
    "$sim" "${game[@]}" --frames "$frames" --digests >"$work/$name.whole" || fail "$name: the whole game did not play"
    grep -qx "over at frame $over" "$work/$name.whole" || fail "$name: the game did not end at frame $over"
    for at in $saves; do
        "$sim" "${game[@]}" --frames "$at" --save-at "$at" "$work/$name-$at.snap" >/dev/null ||
            fail "$name: no save at frame $at"
        # Who plays side 1 comes from the snapshot alone: no --sides here.
        "$sim" --seed 1 --player busy --deal-at 700 --load "$work/$name-$at.snap" --frames $((frames - at)) \
            --save-at 0 "$work/again.snap" --digests >"$work/$name-$at.continued" || fail "$name: no continuing from $at"
        cmp -s "$work/$name-$at.snap" "$work/again.snap" || fail "$name: the save of frame $at loaded and taken again differs"
        censuses_after "$work/$name.whole" "$at" >"$work/expected"
        censuses_after "$work/$name-$at.continued" 0 >"$work/got"
        cmp -s "$work/expected" "$work/got" ||
            fail "$name: continued from frame $at, the censuses differ: $(diff "$work/expected" "$work/got" | head -3)"
    done
    ok "$name: saved at $(echo "$saves" | wc -w) frames, every later census equal to the whole game's;" \
        "each save loaded and taken again the same $(wc -c <"$work/again.snap") bytes"
}
check_game computer 21300 21192 "1 31 45 699 700 701 1501 3001 9000 15017 21191 21192 21250"
check_game people 13500 13452 "1 30 31 700 2222 6000 10001 13451 13452" --sides person person

snap="$work/people-2222.snap"

# A continued game records a replay that starts from the snapshot and checks.
"$sim" --seed 1 --player busy --load "$snap" --frames 2000 --record "$work/continued.vrp" >/dev/null ||
    fail "the continued game was not recorded"
grep -qx "start snapshot $(wc -c <"$snap")" "$work/continued.vrp" || fail "the replay does not start from the snapshot"
"$sim" --replay "$work/continued.vrp" >"$work/check" 2>&1 && grep -q '^all [0-9]* digests match' "$work/check" ||
    fail "the continued game's replay does not check: $(tail -3 "$work/check")"
grep -q "^starts from a snapshot: frame 1521 of the game dealt from seed 2," "$work/check" ||
    fail "the check does not say where the replay starts: $(head -4 "$work/check")"
ok "the continued game's replay checks: $(grep '^all' "$work/check")"

# Broken saves: one line on stderr naming what is wrong, exit 1, no frame.
size=$(wc -c <"$snap")
head -c "$size" /dev/urandom >"$work/random bytes"
head -c $((size - 1)) "$snap" >"$work/cut"
cp "$snap" "$work/longer" && printf x >>"$work/longer"
cp "$snap" "$work/one byte changed" && printf '\x07' | dd of="$work/one byte changed" bs=1 seek=5000 conv=notrunc 2>/dev/null
cp "$snap" "$work/version 2" && printf '\x02' | dd of="$work/version 2" bs=1 seek=8 conv=notrunc 2>/dev/null
cp "$snap" "$work/size" && printf '\x3f' | dd of="$work/size" bs=1 seek=12 conv=notrunc 2>/dev/null
mkdir "$work/a folder"
if [ "$(id -u)" -ne 0 ]; then
    cp "$snap" "$work/unreadable" && chmod 000 "$work/unreadable"
    unreadable="$work/unreadable"
else
    unreadable=/proc/self/mem  # root reads any file; this one fails at its first byte
fi
for case in "random bytes:not a varnhold snapshot" "cut:cut short" "longer:too long" \
    "one byte changed:changed or damaged" "version 2:version 2" "size:holds 12095 bytes" "a folder:a folder" "missing:cannot open" \
    "$unreadable:cannot read"; do
    file=${case%%:*}
    said=${case#*:}
    [ "${file#/}" = "$file" ] && file="$work/$file"
    "$sim" --seed 1 --frames 10 --load "$file" >"$work/out" 2>"$work/err"
    status=$?
    [ "$status" -eq 1 ] || fail "$file: exit $status, not 1"
    [ "$(wc -l <"$work/err")" -eq 1 ] || fail "$file: not one line: $(cat "$work/err")"
    grep -qF "$said" "$work/err" || fail "$file: the line does not say '$said': $(cat "$work/err")"
    [ ! -s "$work/out" ] || fail "$file: a game was played"
done
ok "broken saves refused with one line: $(cat "$work/err")"

# Killed while saving over and over, at random moments: the file left is
# always a whole save that loads (the one before, or the new one).
for round in $(seq 12); do
    "$sim" --seed "$round" --player busy --frames 100000000 --save-every 1 "$work/kept.snap" >/dev/null 2>&1 &
    pid=$!
    sleep "0.$((RANDOM % 9 + 2))"
    kill -9 "$pid" && wait "$pid" 2>/dev/null
    "$sim" --seed 1 --frames 0 --load "$work/kept.snap" >/dev/null 2>"$work/err" ||
        fail "killed while saving (round $round), the save does not load: $(cat "$work/err")"
done
ok "killed while saving 12 times, the save left always loads"

echo "$passed passed, 0 failed"
