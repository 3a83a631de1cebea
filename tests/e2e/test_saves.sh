#!/usr/bin/env bash
# Saves in the real window: F9 with a line naming the file; Escape's autosave
# (ten kept, the player's never removed); --continue with the same selection
# and gold; a full disk: one line, the game goes on, older saves kept;
# a broken save: a message box and exit 1 before any game.
# Usage: test_saves.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/harness.sh"
sim="$build/varnhold-sim"
saves="$XDG_DATA_HOME/varnhold/saves"
seed=5
start_xserver

# Older saves of both kinds, as earlier games left them.
mkdir -p "$saves"
for day in 01 02 03 04 05 06 07 08 09 10 11 12; do "$sim" --seed "$day" --frames 0 --save-at 0 "$saves/autosave_2026-01-${day}_10-00-00.vsv" >/dev/null; done
cp "$saves/autosave_2026-01-01_10-00-00.vsv" "$saves/save_2025-06-01_09-00-00.vsv" && cp "$saves/autosave_2026-01-02_10-00-00.vsv" "$saves/save_2025-06-02_09-00-00.vsv"

"$sim" --seed "$seed" --frames 0 --dump "$work/dealt.txt" >/dev/null || fail "the simulator did not deal seed $seed"
read -r creature_x creature_y < <(awk '$3 == 2 && $6 != 90 && $4 > 14 && $4 < 50 && $5 > 14 && $5 < 50 { print $4, $5; exit }' "$work/dealt.txt")
start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 --seed "$seed" --no-record
expect_status_lines "the game"
wait_for_text 40 300 "Press F9 to save." 5 || fail "the status does not offer F9"
read -r px py < <(screen_of "$creature_x" "$creature_y" 32 32)
xdotool mousemove "$px" "$py" mousedown 1 sleep 2 mouseup 1 mousemove 320 240

# E holds each pass for half a second: the game goes on at two frames a second.
xdotool keydown e
hold_key F9 1.2
wait_until 10 grep -q "/save_.*\.vsv$" "$work/game.log" || fail "F9 did not save"
saved=$(sed -n 's/^varnhold: \(.*save_.*\.vsv\)$/\1/p' "$work/game.log" | head -n1)
wait_for_text 40 40 "Saved as $(basename "$saved")" 5 || fail "no line names the save $(basename "$saved")"
ok "F9 saved $(basename "$saved") and said so on screen"
# The frames after the save, for the game loaded from it; then a second save.
for i in $(seq 45); do dump "$work/kept-$i.xwd" && sleep 0.35; done
hold_key F9 1.2
wait_until 10 bash -c "[ \$(grep -c '/save_.*\.vsv$' $work/game.log) -eq 2 ]" || fail "F9 did not save again"
second=$(sed -n 's/^varnhold: \(.*save_.*\.vsv\)$/\1/p' "$work/game.log" | sed -n 2p)

# Gold moves only every 30 frames: right after it moved, the game is left
# (and autosaved), so that the continued game has 28 frames before it moves.
read -r _ gold _ < <("$sim" --seed 1 --frames 0 --load "$second" | grep '^empire_0_gold')
wait_until 40 bash -c "! { xwd -id $window -silent >$work/gold.xwd && $check shows $work/gold.xwd 40 320 empire_0_gold=$gold >/dev/null; }" ||
    fail "the gold did not move from $gold"
quit_with_escape "the saved game"
autosave=$(sed -n 's/^varnhold: \(.*autosave_.*\.vsv\)$/\1/p' "$work/game.log" | head -n1)
[ -f "$autosave" ] || fail "Escape did not autosave: $(cat "$work/game.log")"
[ "$(find "$saves" -name 'autosave_*.vsv' | wc -l)" -eq 10 ] && [ -f "$saves/autosave_2026-01-04_10-00-00.vsv" ] &&
    [ ! -e "$saves/autosave_2026-01-03_10-00-00.vsv" ] || fail "not the ten newest autosaves kept: $(ls "$saves")"
[ "$(find "$saves" -name 'save_*.vsv' | wc -l)" -eq 4 ] || fail "a save the player made was removed: $(ls "$saves")"
ok "Escape autosaved $(basename "$autosave"); ten autosaves kept, no save of the player's removed"

# --continue takes the newest, the autosave: its gold, or the next census's
# (the mouse at rest plays as the simulator's idle player) for a quick game.
read -r gold selected < <("$sim" --seed 1 --frames 0 --load "$autosave" | awk '/^empire_0_gold/ {g = $2} /^selected_unit/ {s = $2} END {print g, s}')
read -r _ next_gold _ < <("$sim" --seed 1 --frames 30 --load "$autosave" | grep '^empire_0_gold')
start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 --continue --no-record
xdotool keydown e
wait_for_text 40 360 "selected_unit=$selected" 5 || fail "the continued game does not show selected_unit=$selected"
wait_until 2 shows 40 320 "empire_0_gold=$gold" || wait_until 2 shows 40 320 "empire_0_gold=$next_gold" ||
    fail "the continued game does not show empire_0_gold=$gold (nor $next_gold a census later)"
wait_for_text 40 40 "Continued from $(basename "$autosave")" 2 || fail "no line names the save continued"
# The first save loaded shows, E held, one of the very pictures the game showed after it.
xdotool keyup e
quit_with_escape "the continued game"
start_game "$build" "${game_launcher[@]}" ./varnhold --scale 1 --load "$saved" --no-record
xdotool keydown e
for i in 1 2 3 4 5 6; do dump "$work/loaded-$i.xwd" && sleep 0.5; done
for i in 1 2 3 4 5 6; do "$check" same "$work/loaded-$i.xwd" "$work"/kept-*.xwd && break; done || fail "no picture as after the save"
ok "--continue: the line naming the save, selected_unit=$selected and empire_0_gold=$gold as saved; --load: the units as after the save"

# A full disk (a file size limit too small for a save): one line on screen,
# the game goes on, and the saves already there stay as they were.
xdotool keyup e
quit_with_escape "the continued game"
sums=$(cd "$saves" && md5sum ./*)
start_game "$build" bash -c 'trap "" XFSZ; ulimit -f 8; exec "$@"' - "${game_launcher[@]}" ./varnhold --scale 1 --no-record
expect_status_lines "the game on a full disk"
hold_key F9 0.3
wait_until 10 grep -q "Not saved: .*File too large" "$work/game.log" || fail "no line for the full disk: $(cat "$work/game.log")"
line=$(sed -n 's/^varnhold: \(Not saved: .*\)$/\1/p' "$work/game.log" | head -n1)
wait_for_text 40 40 "${line:0:60}" 5 || fail "the line is not on screen"
sleep 1 && kill -0 "$game_pid" || fail "the game stopped after a failed save"
quit_with_escape "the game on a full disk"
[ "$(cd "$saves" && md5sum ./*)" = "$sums" ] || fail "a full disk changed the saves folder: $(ls "$saves")"
ok "a full disk: '$line', the game went on, the saves before kept byte for byte"

# A broken save: a message box before any window, the line on stderr, exit 1.
head -c 12094 /dev/urandom >"$work/broken.vsv"
refused_at_start "a broken save" "broken.vsv: not a varnhold snapshot" --load "$work/broken.vsv"
ok "a broken save: a message box, the line on stderr, exit 1"
finish
