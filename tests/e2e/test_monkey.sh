#!/usr/bin/env bash
# Monkey test: the real game in a window on a virtual X server, given a
# minute of random keys (every key the game knows except Escape), random
# mouse moves and presses of both buttons, and window drags with M. The game
# must stay alive and drawing all along, still obey a key afterwards, and
# end with exit code 0 on Escape. In the sanitizer build every memory fault
# and every leak also fails the run.
# Usage: test_monkey.sh BUILD_DIR SOURCE_DIR
# MONKEY_SEED and MONKEY_SECONDS replay or lengthen a run.
set -u

build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
game="$build/varnhold"
check="$build/tools/screencheck/screencheck"
work=$(mktemp -d)
xvfb_pid=""
game_pid=""
seed=${MONKEY_SEED:-$(($(date +%s) % 32768))}
seconds=${MONKEY_SECONDS:-60}
screen_w=1024
screen_h=768

fail() {
    echo "FAIL: $* (MONKEY_SEED=$seed)"
    [ -f "$work/game.log" ] && tail -n 40 "$work/game.log" | sed 's/^/  game: /'
    exit 1
}

cleanup() {
    [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

for tool in Xvfb xdotool xwd md5sum; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (packages xvfb, xdotool, x11-apps)"
done
[ -x "$game" ] || fail "no game at $game"
[ -x "$check" ] || fail "no screencheck at $check"
ldd "$game" | grep -q libSDL2 || fail "the game was built without SDL2: it has no window to test"
sanitized=no
grep -q '^VARNHOLD_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null && sanitized=yes

# ---- the X server and the game ----------------------------------------------------
Xvfb -displayfd 3 -screen 0 ${screen_w}x${screen_h}x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
export SDL_AUDIODRIVER=dummy
# Without an X server SDL would quietly open an invisible offscreen window;
# here that must fail at once instead.
export SDL_VIDEODRIVER=x11
export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent

# What the X server shows, for a window that never came.
window_names() { xwininfo -root -tree 2>/dev/null | grep -E '^ +0x' | sed 's/^ *//' | head -n 8 | tr '\n' ';'; }

if [ "$sanitized" = yes ]; then
    (cd "$build" && ASAN_OPTIONS=detect_leaks=1 exec "$source_dir/scripts/sanitized-run.sh" ./varnhold) \
        >"$work/game.log" 2>&1 &
else
    (cd "$build" && exec ./varnhold) >"$work/game.log" 2>&1 &
fi
game_pid=$!
window=""
window_deadline=$((SECONDS + 60))
while [ "$SECONDS" -lt "$window_deadline" ]; do
    kill -0 "$game_pid" 2>/dev/null || fail "the game ended before its window appeared"
    window=$(xdotool search --name '^VARNHOLD$' 2>/dev/null | head -n1)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "no VARNHOLD window within 60 s; windows there: $(window_names) game waiting in: $(cat /proc/$game_pid/wchan 2>/dev/null); X server $(kill -0 "$xvfb_pid" 2>/dev/null && echo alive || echo gone)"
xdotool mousemove 320 240
xdotool windowfocus "$window" 2>/dev/null

# ---- helpers ----------------------------------------------------------------------
RANDOM=$seed
echo "monkey: seed $seed, $seconds s"

# Random values come back in variables, not through $( ): a subshell draws
# from a generator of its own, and the seed would no longer replay the run.
pick() { picked=$(($1 + RANDOM % ($2 - $1 + 1))); }
pick_hold() {
    pick "$1" "$2"
    hold=$(printf '0.%03d' "$picked")
}

window_x=0
window_y=0
read_window_place() {
    local geometry
    geometry=$(xdotool getwindowgeometry --shell "$window" 2>/dev/null) || fail "the window is gone"
    window_x=$(echo "$geometry" | sed -n 's/^X=//p')
    window_y=$(echo "$geometry" | sed -n 's/^Y=//p')
}

# A random point over the window, never off the screen.
pick_point_over_window() {
    local right=$((window_x + 639)) bottom=$((window_y + 479))
    [ "$right" -ge "$screen_w" ] && right=$((screen_w - 1))
    [ "$bottom" -ge "$screen_h" ] && bottom=$((screen_h - 1))
    local left=$((window_x < 0 ? 0 : window_x)) top=$((window_y < 0 ? 0 : window_y))
    pick "$left" "$right"
    point_x=$picked
    pick "$top" "$bottom"
    point_y=$picked
}

# While M is down the window's corner follows the cursor: the cursor stays
# where the whole window still fits on the screen.
pick_drag_point() {
    pick 0 $((screen_w - 640))
    point_x=$picked
    pick 0 $((screen_h - 480))
    point_y=$picked
}

keys=(Up Down Left Right Prior Next e space BackSpace 0 h F1 F2 F3 F4 F5 F6 F7 F8)
arrows=(Up Down Left Right)
actions=0

press_random_key() {
    local key=${keys[$((RANDOM % ${#keys[@]}))]}
    pick_hold 20 300
    xdotool keydown "$key" sleep "$hold" keyup "$key"
}

turn_with_shift() {
    local arrow=${arrows[$((RANDOM % 4))]}
    pick_hold 20 250
    xdotool keydown shift keydown "$arrow" sleep "$hold" keyup "$arrow" keyup shift
}

move_mouse() {
    read_window_place
    pick_point_over_window
    xdotool mousemove "$point_x" "$point_y"
}

press_button() {
    local button=$((RANDOM % 2 == 0 ? 1 : 3))
    read_window_place
    pick_point_over_window
    pick_hold 30 400
    xdotool mousemove "$point_x" "$point_y" mousedown "$button" sleep "$hold"
    if [ $((RANDOM % 2)) -eq 0 ]; then
        pick_point_over_window
        xdotool mousemove "$point_x" "$point_y"
    fi
    xdotool mouseup "$button"
}

drag_window() {
    pick_drag_point
    xdotool mousemove "$point_x" "$point_y" keydown m
    pick 1 4
    for _ in $(seq "$picked"); do
        pick_drag_point
        xdotool sleep 0.05 mousemove "$point_x" "$point_y"
    done
    xdotool sleep 0.05 keyup m
    # The window follows the cursor; it stays on the screen where the cursor was.
    read_window_place
    if [ "$window_x" -lt 0 ] || [ "$window_y" -lt 0 ] || [ "$window_x" -gt $((screen_w - 640)) ] ||
        [ "$window_y" -gt $((screen_h - 480)) ]; then
        fail "M left the window at $window_x,$window_y, away from the cursor's corner"
    fi
    echo "$window_x,$window_y" >>"$work/places"
}

spin_with_space() {
    read_window_place
    xdotool keydown space
    pick 1 4
    for _ in $(seq "$picked"); do
        pick_point_over_window
        xdotool mousemove "$point_x" "$point_y" sleep 0.05
    done
    xdotool keyup space
}

dump() { xwd -id "$window" -silent >"$1" 2>/dev/null; }

# The game's CPU time in clock ticks: a loop that runs keeps adding to it.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$game_pid/stat" 2>/dev/null || echo 0; }

alive_and_showing() {
    kill -0 "$game_pid" 2>/dev/null || fail "the game died after $actions actions"
    read_window_place
    dump "$work/now.xwd" || fail "cannot read the window after $actions actions"
    md5sum <"$work/now.xwd" | cut -d' ' -f1 >>"$work/screens"
}

# ---- a minute of random input ------------------------------------------------------
: >"$work/screens"
end=$(($(date +%s) + seconds))
next_look=$(($(date +%s) + 5))
looks=0
ticks_before=$(cpu_ticks)
while [ "$(date +%s)" -lt "$end" ]; do
    choice=$((RANDOM % 100))
    if [ "$choice" -lt 38 ]; then press_random_key
    elif [ "$choice" -lt 46 ]; then turn_with_shift
    elif [ "$choice" -lt 68 ]; then move_mouse
    elif [ "$choice" -lt 88 ]; then press_button
    elif [ "$choice" -lt 94 ]; then drag_window
    else spin_with_space
    fi
    actions=$((actions + 1))
    if [ "$(date +%s)" -ge "$next_look" ]; then
        alive_and_showing
        looks=$((looks + 1))
        next_look=$(($(date +%s) + 5))
    fi
done
alive_and_showing
looks=$((looks + 1))

# Nothing may stay held for what follows.
xdotool keyup shift keyup m keyup space mouseup 1 mouseup 3 2>/dev/null
different=$(sort -u "$work/screens" | wc -l)
places=$(sort -u "$work/places" 2>/dev/null | wc -l)
ticks_after=$(cpu_ticks)
echo "monkey: $actions actions, $different different screens in $looks looks, $((ticks_after - ticks_before)) CPU ticks, window dragged to $places places"
[ "$different" -ge 3 ] || fail "the screen hardly changed: $different different screens in $looks looks"
sleep 2
[ "$(cpu_ticks)" -gt "$ticks_after" ] || fail "the game uses no CPU time any more: hung"
echo "ok: the game lived through $seconds s of random input and kept drawing"

# ---- it still obeys --------------------------------------------------------------------
# F1 deals a new game, whose view is back at 32, 32; a help page left open
# by H is closed first.
shows() { dump "$work/screen.xwd" && "$check" shows "$work/screen.xwd" "$1" "$2" "$3" >/dev/null; }
obeyed=no
for _ in $(seq 8); do
    if shows 40 400 "F1 start new game."; then
        xdotool keydown h sleep 0.1 keyup h
        sleep 0.6
        continue
    fi
    xdotool keydown F1 sleep 0.3 keyup F1
    sleep 0.3
    if shows 40 380 "map_sx=32 map_sy=32"; then obeyed=yes; break; fi
done
[ "$obeyed" = yes ] || fail "after the monkey, F1 no longer dealt a new game"
echo "ok: afterwards F1 still deals a new game"

# ---- Escape ------------------------------------------------------------------------------
xdotool keydown Escape
exit_code=""
for _ in $(seq 300); do
    if ! kill -0 "$game_pid" 2>/dev/null; then
        wait "$game_pid"
        exit_code=$?
        game_pid=""
        break
    fi
    sleep 0.1
done
xdotool keyup Escape 2>/dev/null
[ -n "$exit_code" ] || fail "Escape did not end the game"
[ "$exit_code" -eq 0 ] || fail "exit code $exit_code after Escape"
grep -q "ERROR" "$work/game.log" && fail "the game reported an error"
grep -q "Sanitizer" "$work/game.log" && fail "a sanitizer reported"
echo "ok: Escape ends the game with exit code 0"
echo "3 passed, 0 failed"
