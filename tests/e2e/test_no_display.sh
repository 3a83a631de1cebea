#!/usr/bin/env bash
# Started where there is no display (a terminal over ssh, a server), the game
# says in one line what it needs and ends with status 1 at once, instead of
# playing on in an invisible window; a display that is named but not there
# ends the same way. A driver that shows nothing runs only when asked for by
# name, and a display that is there is found without one being named.
# Usage: test_no_display.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/harness.sh"

# start_without_display [VAR=VALUE...]: the game with no display in its
# environment (plus the given variables), its output in stdout and stderr.
# There is no desktop session either: libdbus, asked by SDL, would try to
# start a bus.
start_without_display() {
    (
        cd "$build" || exit 1
        exec env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER \
            DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent "$@" "${game_launcher[@]}" ./varnhold
    ) >"$work/stdout" 2>"$work/stderr" &
    game_pid=$!
}

# expect_one_line WHAT: status 1, nothing on stdout, one line on stderr that
# names the missing display and the way to run without one.
expect_one_line() {
    [ "$exit_code" -eq 1 ] || fail "$1: exit status $exit_code, expected 1 ($(head -c 300 "$work/stderr"))"
    [ ! -s "$work/stdout" ] || fail "$1: wrote to stdout: $(head -c 300 "$work/stdout")"
    local lines
    lines=$(wc -l <"$work/stderr")
    [ "$lines" -eq 1 ] || fail "$1: $lines lines on stderr, expected 1: $(head -n 20 "$work/stderr")"
    grep -q "no display.*DISPLAY.*xvfb-run" "$work/stderr" ||
        fail "$1: the line does not say there is no display, name DISPLAY and xvfb-run: $(cat "$work/stderr")"
}

# No display at all; a runtime folder without a Wayland socket; an X
# display that is named but has no server (the window system is tried and
# refuses, and no other one takes its place).
mkdir -m 700 "$work/runtime"
free_display=64999
[ -e "/tmp/.X11-unix/X$free_display" ] && fail "display :$free_display unexpectedly exists"
for case in "no DISPLAY, no Wayland, no runtime folder|" "a runtime folder without a Wayland socket|XDG_RUNTIME_DIR=$work/runtime" \
    "DISPLAY naming no server|DISPLAY=:$free_display"; do
    what=${case%%|*} setting=${case#*|}
    start_without_display ${setting:+"$setting"}
    wait_for_exit 20 || fail "$what: the game still runs after 20 s ($(head -c 300 "$work/stderr"))"
    expect_one_line "$what"
    ok "$what: status 1 and one line: $(cat "$work/stderr")"
done

# Asked for by name, the offscreen driver is the player's choice: the game
# starts on it and is still running when the others had long ended.
start_without_display SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
if wait_for_exit 5; then
    fail "with SDL_VIDEODRIVER=offscreen the game ended with $exit_code: $(head -c 300 "$work/stderr")"
fi
ok "SDL_VIDEODRIVER=offscreen, asked for by name, is obeyed"
kill "$game_pid" 2>/dev/null
wait "$game_pid" 2>/dev/null
game_pid=""

# And where there is a display, the game finds it by itself: no driver named.
start_xserver
unset SDL_VIDEODRIVER
start_game
expect_status_lines "DISPLAY alone"
quit_with_escape "DISPLAY alone"
ok "with DISPLAY alone and no driver named, the window opens and Escape ends with 0"
finish
