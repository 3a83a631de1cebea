# Shared by the end-to-end tests that run the real game in a real window:
# a virtual X server, the game started and its window found, keys held,
# the screen read back with screencheck, frames counted at the swap, and
# the way out with its exit code. Sourced with BUILD_DIR SOURCE_DIR.
set -u

build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
check="$build/tests/tools/screencheck/screencheck"
work=$(mktemp -d)
chmod 755 "$work"
# The replays the games keep stay in the test's own folder, not in a home.
export XDG_DATA_HOME="$work/data"
xvfb_pid="" game_pid="" window="" exit_code="" passed=0 background_pids=()
sanitized=no
grep -q '^VARNHOLD_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null && sanitized=yes

fail() {
    echo "FAIL: $*"
    [ -f "$work/game.log" ] && tail -n 40 "$work/game.log" | sed 's/^/  game: /'
    exit 1
}

ok() { echo "ok: $*" && passed=$((passed + 1)); }
finish() { echo "$passed passed, 0 failed"; }
# A test that cannot run here says why and ends with 77, which CTest
# reports as skipped (SKIP_RETURN_CODE): a check that did not run never
# counts as passed.
skip() {
    echo "skipped: $*"
    exit 77
}

# needs PACKAGES TOOL...: without one of the tools the test cannot run here.
needs() {
    local packages=$1 tool
    shift
    for tool in "$@"; do
        command -v "$tool" >/dev/null || skip "$tool is not installed (packages $packages)"
    done
}

cleanup() {
    [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
    declare -F test_cleanup >/dev/null && test_cleanup
    for pid in "${background_pids[@]}" $xvfb_pid; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    chmod -R u+w "$work" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

needs "xvfb, xdotool, x11-apps, x11-utils, gcc" Xvfb xdotool xwd xwininfo cc
[ -x "$build/varnhold" ] || fail "no game at $build/varnhold"
[ -x "$check" ] || fail "no screencheck at $check"

# The sanitizer build runs the game through its launcher. A copy of it lives
# in the work folder, where a game run as another user can still reach it.
game_launcher=()
if [ "$sanitized" = yes ]; then
    cp "$source_dir/scripts/sanitized-run.sh" "$source_dir/scripts/lsan-mesa.supp" "$work/"
    game_launcher=("$work/sanitized-run.sh")
    export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
fi

# start_xserver [WIDTHxHEIGHT]: 1024x768 unless told, where the game's
# window is today's 640 x 480 (the largest factor that fits is 1).
start_xserver() {
    # Xvfb picks a free display itself and writes its number to fd 3. Without
    # -noreset it resets whenever its last client leaves, and a game started
    # in that moment finds no display.
    Xvfb -displayfd 3 -noreset -screen 0 "${1:-1024x768}x24" -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    local tries=0
    until [ -s "$work/display" ] || [ $((tries += 1)) -gt 100 ]; do sleep 0.1; done
    [ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=":$(head -n1 "$work/display")"
    # The number comes as the server starts listening; wait until it answers.
    until xdotool getdisplaygeometry >/dev/null 2>&1 || [ $((tries += 1)) -gt 200 ]; do sleep 0.1; done
    export SDL_AUDIODRIVER=dummy
    # Without an X server SDL would quietly open an invisible offscreen
    # window; here that must fail at once instead.
    export SDL_VIDEODRIVER=x11
    # No desktop session: libdbus would try to start a bus for SDL.
    export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
}

# start_two_xservers: the host's X server as DISPLAY and a guest's beside it,
# its display in guest_display, for a network game between two windows.
start_two_xservers() {
    start_xserver
    host_display=$DISPLAY
    Xvfb -displayfd 4 -noreset -screen 0 1024x768x24 -nolisten tcp 4>"$work/display2" >"$work/xvfb2.log" 2>&1 &
    background_pids+=($!)
    wait_until 10 test -s "$work/display2" || fail "the second X server did not start"
    guest_display=":$(head -n1 "$work/display2")"
}

# Frames are counted at the swap by a library put before SDL and GL.
swap_preload=""
count_swaps() {
    cc -shared -fPIC -O2 -o "$work/swap_count.so" "$source_dir/tests/tools/swap_count.c" -ldl || fail "no swap counter"
    export SWAP_COUNT_FILE="$work/swaps" && swap_preload="$work/swap_count.so"
}

# "swaps unwaited", "0 0" before the first swap.
swap_figures() { cat "$SWAP_COUNT_FILE" 2>/dev/null || echo "0 0"; }
frames() { swap_figures | cut -d' ' -f1; }
# Every swap but the first waited for its frame to finish: one frame in flight.
expect_every_swap_waited() {
    read -r swaps unwaited <<<"$(swap_figures)"
    [ "$unwaited" -le 1 ] || fail "$unwaited of $swaps swaps did not wait for their frame to finish"
}

# start_game [FOLDER [COMMAND...]]: the game (./varnhold in the build folder
# unless told otherwise) with its output in game.log; waits for its window,
# by the clock, as long as a busy machine may need.
start_game() {
    local folder=${1:-$build}
    [ $# -gt 0 ] && shift
    [ $# -eq 0 ] && set -- "${game_launcher[@]}" ./varnhold
    (
        cd "$folder" || exit 1
        [ -n "$swap_preload" ] && export LD_PRELOAD="$swap_preload${LD_PRELOAD:+ $LD_PRELOAD}"
        exec "$@"
    ) >"$work/game.log" 2>&1 &
    game_pid=$!
    window=""
    local deadline=$((SECONDS + ${WINDOW_WAIT_S:-120}))
    while [ "$SECONDS" -lt "$deadline" ]; do
        kill -0 "$game_pid" 2>/dev/null || fail "the game ended before its window appeared (X server $DISPLAY:" \
            "$(xdotool getdisplaygeometry 2>&1 | head -n1); $(tail -n 3 "$work/xvfb.log" | tr '\n' ' '))"
        # Only a mapped window: one just created cannot be read by xwd yet.
        window=$(xdotool search --onlyvisible --name '^VARNHOLD$' 2>/dev/null | head -n1)
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || fail "no VARNHOLD window within ${WINDOW_WAIT_S:-120} s; windows there:" \
        "$(xwininfo -root -tree 2>/dev/null | grep -E '^ +0x' | head -n 8 | tr '\n' ';')" \
        "game waiting in: $(cat /proc/$game_pid/wchan 2>/dev/null)"
    # Keys go to the focused window; without a window manager we focus it.
    xdotool mousemove 320 240
    xdotool windowfocus "$window" 2>/dev/null
}

# wait_until SECONDS COMMAND...: true as soon as the command is, false when
# the time is up first.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.1
    done
}

# "X,Y WIDTHxHEIGHT" of the game's window.
geometry() { xdotool getwindowgeometry "$window" 2>/dev/null | awk '/Position/ {p = $2} /Geometry/ {print p, $2}'; }
geometry_is() { [ "$(geometry)" = "$1" ]; }
# wait_for_geometry WANTED SECONDS
wait_for_geometry() { wait_until "$2" geometry_is "$1"; }

dump() { xwd -id "$window" -silent >"${1:-$work/screen.xwd}" 2>/dev/null; }
# Where the game's picture lies in the window when it is enlarged:
# (--picture LEFT TOP FACTOR), empty for today's window.
picture_args=()
shows() { dump && "$check" "${picture_args[@]}" shows "$work/screen.xwd" "$1" "$2" "$3" >/dev/null; }

# wait_for_text X Y TEXT SECONDS
wait_for_text() { wait_until "$4" shows "$1" "$2" "$3"; }

# screen_of X Y CX CY: where tile (X, Y) is on the screen while the view
# centre is (CX, CY): the middle of the window's patch the cursor maps onto it.
screen_of() {
    local dx=$(($1 - $3)) dy=$(($2 - $4))
    echo "$((16 * (dx + 20) + (dx < 0 ? -8 : 8))) $((480 - (12 * (dy + 20) + (dy < 0 ? -6 : 6))))"
}

# The game runs frames and draws its status lines, at the opening view.
expect_status_lines() {
    wait_for_text 40 400 "Press H for help." 60 || fail "$1: no status line"
    wait_for_text 40 380 "map_sx=32 map_sy=32" 5 || fail "$1: no map_sx=32 map_sy=32 line"
}

# A network game's window past its lobby: the lobby draws its lines over
# the dealt game's status lines, so the game itself is the status lines
# with the lobby's first line gone, both read from one dump.
# wait_for_game WHAT LOBBY_LINE [DISPLAY WINDOW]
in_game() {
    DISPLAY=$1 xwd -id "$2" -silent >"$work/in_game.xwd" 2>/dev/null &&
        "$check" shows "$work/in_game.xwd" 40 400 "Press H for help." >/dev/null &&
        ! "$check" shows "$work/in_game.xwd" 40 130 "$3" >/dev/null
}
wait_for_game() {
    wait_until 60 in_game "${3:-$DISPLAY}" "${4:-$window}" "$2" || fail "$1: the game never showed past its lobby"
}

# The scroll position's x as the status line shows it, all read from one dump.
scroll_x() {
    dump || return 1
    local x
    for x in $(seq 0 63); do
        "$check" "${picture_args[@]}" shows "$work/screen.xwd" 40 380 "map_sx=$x map_sy=32" >/dev/null && echo "$x" && return
    done
    return 1
}

hold_key() { xdotool keydown "$1" sleep "$2" keyup "$1"; }

# H flips the help once per frame while down, each time with a 400 ms pause:
# taps grow longer until the help shows.
open_help() {
    local hold=0.06
    for _ in $(seq 6); do
        hold_key h "$hold"
        wait_for_text 40 400 "F1 start new game." 2 && return 0
        hold=$(awk -v h="$hold" 'BEGIN { print h * 1.5 }')
    done
    return 1
}

# wait_for_exit SECONDS: sets exit_code; false if the game still runs.
game_ended() { ! kill -0 "$game_pid" 2>/dev/null; }
wait_for_exit() {
    wait_until "$1" game_ended || return 1
    wait "$game_pid"
    exit_code=$?
    game_pid=""
}

# quit_with_escape WHAT: Escape ends the game with 0, and nothing complained.
quit_with_escape() {
    xdotool keydown Escape
    wait_for_exit 90 || fail "$1: Escape did not end the game"
    xdotool keyup Escape 2>/dev/null
    [ "$exit_code" -eq 0 ] || fail "$1: exit code $exit_code after Escape"
    grep -q "ERROR" "$work/game.log" && fail "$1: the game reported an error"
    grep -q "Sanitizer" "$work/game.log" && fail "$1: a sanitizer reported"
    return 0
}

# refused_at_start WHAT SAID ARGS...: the game, given ARGS, refuses before
# any window: a message box (closed here with Return), the line saying SAID
# on stderr, exit 1.
refused_at_start() {
    local what=$1 said=$2 box=""
    shift 2
    (cd "$build" && exec "${game_launcher[@]}" ./varnhold --scale 1 "$@") >"$work/game.log" 2>&1 &
    game_pid=$!
    for _ in $(seq 300); do
        box=$(xwininfo -root -tree 2>/dev/null | sed -n 's/^ *\(0x[0-9a-f]*\) "ERROR".*/\1/p' | head -n1)
        [ -n "$box" ] && break
        kill -0 "$game_pid" 2>/dev/null || break
        sleep 0.2
    done
    [ -n "$box" ] && xdotool key --window "$box" Return 2>/dev/null
    wait_for_exit 30 || fail "$what: the message box did not end the game"
    [ "$exit_code" -eq 1 ] || fail "$what: exit code $exit_code, not 1"
    grep -q "ERROR: .*$said" "$work/game.log" || fail "$what: no line saying '$said': $(cat "$work/game.log")"
}

# Busy work beside the game, as on a player's machine that does other things.
start_busy_work() {
    for _ in $(seq "$1"); do
        (while :; do :; done) &
        background_pids+=($!)
    done
}
