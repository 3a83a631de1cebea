#!/usr/bin/env bash
# The Windows build: cross-built with mingw-w64, unpacked from its zip and run
# under Wine on a virtual X server with a fresh Wine prefix, read back from
# the screen; then once more beside no pictures, where it must draw its text
# and write nothing.
# Usage: test_windows.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/harness.sh"
needs "g++-mingw-w64-x86-64, wine, wine64, zip, unzip" x86_64-w64-mingw32-g++ wine wineserver zip unzip
[ "$sanitized" = yes ] && skip "the sanitizers do not reach a cross-built executable"

windows="$build/windows"
export WINEPREFIX="$windows/wineprefix" WINEDEBUG=-all
# No .NET or Gecko installers, no desktop menu entries, no sound server.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winealsa.drv,winepulse.drv=d"
trap 'timeout 20 wineserver -k 2>/dev/null; cleanup' EXIT

# start_wine_game FOLDER EXE [OPTION...]: a key held in one run must not leak
# into the next.
start_wine_game() {
    timeout 60 wineserver -w
    start_game "$1" timeout 180 wine "${@:2}"
}
intro_per_mille() { dump && "$check" picture "$work/screen.xwd" 200 200 "$game_folder/bmp_scr/intro1.bmp"; }
# A Windows program ends with the wParam of the last message it took: here
# Escape's own key message, 0x1B.
quit_with_escape_27() {
    xdotool keydown Escape
    wait_for_exit 60 || fail "$1: Escape did not end the game"
    xdotool keyup Escape
    [ "$exit_code" -eq 27 ] || fail "$1: exit code $exit_code after Escape, not 27"
    grep -q "ERROR" "$work/game.log" && fail "$1: the game reported an error"
    return 0
}

make_prefix() {
    rm -rf "$WINEPREFIX"
    timeout 120 wineboot -i >"$work/wineboot.log" 2>&1 && timeout 60 wineserver -w || return 1
    # Unmanaged windows close at once without a window manager, and a crash
    # ends the process instead of waiting on a dialog nobody answers.
    printf '%s\r\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
        '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' >"$work/settings.reg"
    timeout 60 wine regedit /S "Z:${work//\//\\}\\settings.reg" && timeout 60 wineserver -w
}

mkdir -p "$windows"
timeout 600 "$source_dir/scripts/build-windows.sh" "$windows/build" "$build" >"$work/build.log" 2>&1 ||
    fail "cross-build failed: $(tail -n 20 "$work/build.log")"
rm -rf "$windows/unpacked"
unzip -q "$windows/build/varnhold-windows.zip" -d "$windows/unpacked" || fail "cannot unpack the zip"
game_folder="$windows/unpacked/varnhold"
[ -f "$game_folder/README.txt" ] || fail "the zip has no README.txt"
grep -q "GNU GENERAL PUBLIC LICENSE" "$game_folder/COPYING.txt" 2>/dev/null || fail "the zip has no licence (COPYING.txt)"
ok "cross-built varnhold.exe and packed it with its pictures, sound, README and licence"

start_xserver
make_prefix || fail "cannot make a Wine prefix: $(tail -n 20 "$work/wineboot.log")"

# ---- from the zip: pictures, status, Right held, help, Escape -------------------------
# Started from the folder above the game's: the pictures are found beside it.
start_wine_game "$windows/unpacked" varnhold/varnhold.exe
expect_status_lines "from the zip"
intro=$(intro_per_mille) || fail "cannot compare the intro picture"
[ "$intro" -ge 900 ] || fail "the intro picture is not on the screen ($intro per mille)"
ok "the status lines and the intro picture ($intro per mille) are drawn under Wine"

# Right held scrolls the map right; with Shift down (read from the keyboard
# itself) the arrow turns the camera instead, and the map stays.
hold_key Right 0.5
sleep 0.3
scrolled=$(scroll_x) && [ "$scrolled" -gt 32 ] || fail "Right did not scroll the map right (map_sx=${scrolled:-unread})"
ok "Right held scrolls to map_sx=$scrolled map_sy=32"
xdotool keydown Shift_L sleep 0.2 keydown Right sleep 0.6 keyup Right sleep 0.2 keyup Shift_L
sleep 0.3
value=$(scroll_x) || fail "cannot read the scroll position after Shift and Right"
[ "$value" = "$scrolled" ] || fail "Shift and Right scrolled the map to map_sx=$value"
ok "Shift and Right turn the camera and leave map_sx=$scrolled"

open_help || fail "H did not bring up the help text"
shows 40 200 "M move window." || fail "last help line missing"
ok "H shows the help text"

quit_with_escape_27 "from the zip"
ok "Escape ends the game with the key's code, 27"

# The game kept its replay under %APPDATA%; the Linux simulator plays it
# through the same rules, digest by digest.
replays="$WINEPREFIX/drive_c/users/$(whoami)/AppData/Roaming/varnhold/replays"
kept=$(find "$replays" -name '*.vrp' 2>/dev/null | head -n1)
[ -n "$kept" ] || fail "the Windows game kept no replay in $replays"
"$build/varnhold-sim" --replay "$kept" >"$work/sim.log" 2>&1 ||
    fail "the Windows game's replay does not check: $(tail -n 3 "$work/sim.log")"
ok "the Windows game's replay in %APPDATA% checks on Linux: $(grep '^all' "$work/sim.log")"

# ---- the Windows game joins a Linux host on 127.0.0.1 and plays a little ----------
port=$((44000 + RANDOM % 8000))
"$build/varnhold-sim" --host "$port" --no-port-mapping --seed 9 --frames 900 --fps 60 --record "$work/linux_host.vrp" >"$work/host.log" 2>&1 &
host_pid=$!
background_pids+=($host_pid)
start_wine_game "$windows/unpacked" varnhold/varnhold.exe --join "127.0.0.1:$port" --record "Z:$work/windows_guest.vrp"
wait_for_game "the Windows guest" "Connecting to"
xdotool mousemove 300 200 mousedown 1 sleep 1 mouseup 1 mousemove 400 300 mousedown 3 sleep 0.3 mouseup 3
wait_for_exit 90 || fail "the Windows guest did not end after the host's last frame"
[ "$exit_code" -eq 0 ] || fail "the Windows guest ended with $exit_code when the host left"
wait "$host_pid" || fail "the Linux host ended with $?: $(tail -n 3 "$work/host.log")"
for file in "$work/linux_host.vrp" "$work/windows_guest.vrp"; do
    "$build/varnhold-sim" --replay "$file" >"$work/sim.log" 2>&1 || fail "$file does not check: $(tail -n 3 "$work/sim.log")"
done
grep -q " 1l+" "$work/linux_host.vrp" || fail "the host's replay holds no left button of the Windows side"
ok "the Windows game joined a Linux host on 127.0.0.1, played, and both replays check"

# ---- full screen: the picture centred at factor 1 on this 1024 x 768 screen,
# and Alt+Enter back to today's window -----------------------------
start_wine_game "$windows/unpacked" varnhold/varnhold.exe --fullscreen
wait_for_geometry "0,0 1024x768" 30 || fail "--fullscreen gave the window $(geometry), not 0,0 1024x768"
picture_args=(--picture 192 144 1)
expect_status_lines "full screen under Wine"
ok "--fullscreen under Wine: the picture centred"
xdotool key alt+Return
wait_for_geometry "0,0 640x480" 30 || fail "Alt+Enter under Wine gave $(geometry), not the window 0,0 640x480"
picture_args=()
expect_status_lines "back in the window under Wine"
ok "Alt+Enter under Wine gives back the 640 x 480 window"
quit_with_escape_27 "after full screen"

# ---- no pictures: two folders missing, two empty (where an open that creates
# its file would leave empty pictures behind); closed from outside -------------------
bare="$windows/bare"
rm -rf "$bare"
mkdir -p "$bare/bmp_floor" "$bare/bmp_unit"
cp "$game_folder/varnhold.exe" "$bare/"
before=$(cd "$bare" && find . | sort)
start_wine_game "$bare" ./varnhold.exe
wait_for_text 40 380 "map_sx=32 map_sy=32" 90 || fail "without pictures the status line never showed"
intro=$(intro_per_mille) || fail "cannot compare the intro picture"
[ "$intro" -le 100 ] || fail "without pictures an intro picture came from somewhere ($intro per mille)"
"$check" close "$window" || fail "could not ask the window to close"
wait_for_exit 60 || fail "closing the window did not end the game"
[ "$exit_code" -eq 0 ] || fail "exit code $exit_code after the window was closed"
after=$(cd "$bare" && find . | sort)
[ "$after" = "$before" ] || fail "files appeared: $(comm -13 <(echo "$before") <(echo "$after") | tr '\n' ' ')"
ok "without pictures it draws its text, creates no file and ends with 0 when closed"

finish
