#!/usr/bin/env bash
# The real game in a window on a virtual X server, played for a few hundred
# frames with F1 held through some of them, then left with Escape, under a
# memory checker: valgrind in the normal build (no definite leak, no invalid
# read or write), LeakSanitizer with AddressSanitizer in the sanitizer build.
# Frames are counted by a small library put before SDL that counts the
# buffer swaps, so the script waits for frames, not for seconds.
# Usage: test_leaks.sh BUILD_DIR SOURCE_DIR
set -u

build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
game="$build/varnhold"
work=$(mktemp -d)
xvfb_pid=""
game_pid=""

# Frames of the run: F1 goes down at the first number and up at the second;
# Escape at the third. Valgrind runs the game at one or two frames a second,
# so the run also ends when its time is up, if it has seen enough frames.
f1_down_at=80
f1_up_at=110
escape_at=260
least_frames=150
time_budget_s=230

fail() {
    echo "FAIL: $*"
    [ -f "$work/game.log" ] && tail -n 40 "$work/game.log" | sed 's/^/  game: /'
    [ -f "$work/memcheck.log" ] && tail -n 60 "$work/memcheck.log" | sed 's/^/  memcheck: /'
    exit 1
}

cleanup() {
    [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

for tool in Xvfb xdotool cc; do
    command -v "$tool" >/dev/null || fail "$tool is not installed"
done
[ -x "$game" ] || fail "no game at $game"
ldd "$game" | grep -q libSDL2 || fail "the game was built without SDL2: it has no window to test"

sanitized=no
grep -q '^VARNHOLD_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null && sanitized=yes
if [ "$sanitized" = no ]; then
    command -v valgrind >/dev/null || fail "valgrind is not installed"
fi

# ---- the swap counter ---------------------------------------------------------------
cat >"$work/swap_count.c" <<'EOF'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

/* Counts the game's buffer swaps into the file named by SWAP_COUNT_FILE. */
static long swaps;

void SDL_GL_SwapWindow(void* window) {
    static void (*real_swap)(void*);
    if (!real_swap) real_swap = (void (*)(void*))dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
    real_swap(window);
    ++swaps;
    const char* path = getenv("SWAP_COUNT_FILE");
    FILE* file = path ? fopen(path, "w") : NULL;
    if (file) {
        fprintf(file, "%ld\n", swaps);
        fclose(file);
    }
}
EOF
cc -shared -fPIC -O2 -o "$work/swap_count.so" "$work/swap_count.c" -ldl || fail "cannot build the swap counter"

# ---- the X server -------------------------------------------------------------------
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
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
# No desktop session here: without this, libdbus tries to start a bus for
# SDL and leaks on its way out, which is not the game's memory.
export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
export SWAP_COUNT_FILE="$work/swaps"

# ---- the run ------------------------------------------------------------------------
# The counter rewrites its file at every swap: a read that lands between
# the truncation and the write finds nothing, and is simply made again.
frames() {
    local count=""
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        count=$(cat "$SWAP_COUNT_FILE" 2>/dev/null)
        case "$count" in
            '' | *[!0-9]*) sleep 0.01 ;;
            *) echo "$count"; return ;;
        esac
    done
    echo 0
}

if [ "$sanitized" = yes ]; then
    checker="LeakSanitizer"
    (
        cd "$build" || exit 1
        export ASAN_OPTIONS="detect_leaks=1:log_path=$work/memcheck.log"
        export LD_PRELOAD="$work/swap_count.so"
        exec "$source_dir/scripts/sanitized-run.sh" ./varnhold
    ) >"$work/game.log" 2>&1 &
else
    checker="valgrind"
    (
        cd "$build" || exit 1
        export LD_PRELOAD="$work/swap_count.so"
        exec valgrind --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
            --error-exitcode=99 --keep-debuginfo=yes --num-callers=30 \
            --suppressions="$source_dir/scripts/valgrind-mesa.supp" \
            --log-file="$work/memcheck.log" ./varnhold
    ) >"$work/game.log" 2>&1 &
fi
game_pid=$!


# What the X server shows, for a window that never came.
window_names() { xwininfo -root -tree 2>/dev/null | grep -E '^ +0x' | sed 's/^ *//' | head -n 8 | tr '\n' ';'; }

window=""
window_deadline=$((SECONDS + 120))
while [ "$SECONDS" -lt "$window_deadline" ]; do
    kill -0 "$game_pid" 2>/dev/null || fail "the game ended before its window appeared"
    window=$(xdotool search --name '^VARNHOLD$' 2>/dev/null | head -n1)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "no VARNHOLD window within 120 s; windows there: $(window_names) game waiting in: $(cat /proc/$game_pid/wchan 2>/dev/null); X server $(kill -0 "$xvfb_pid" 2>/dev/null && echo alive || echo gone)"
xdotool mousemove 320 240
xdotool windowfocus "$window" 2>/dev/null
started=$(date +%s)

# Waits until the game has swapped $1 times; false when the game ended or
# the run's time is up first.
wait_for_frames() {
    while [ "$(frames)" -lt "$1" ]; do
        kill -0 "$game_pid" 2>/dev/null || fail "the game ended by itself after $(frames) frames"
        [ $(($(date +%s) - started)) -ge "$time_budget_s" ] && return 1
        sleep 0.2
    done
    return 0
}

wait_for_frames "$f1_down_at" || fail "only $(frames) frames in $time_budget_s s before F1"
xdotool keydown F1
wait_for_frames "$f1_up_at"
f1_frames=$(($(frames) - f1_down_at))
xdotool keyup F1
wait_for_frames "$escape_at"
played=$(frames)
[ "$played" -ge "$least_frames" ] || fail "only $played frames in $time_budget_s s"
echo "ok: $played frames, F1 held for about $f1_frames of them, under $checker"

xdotool keydown Escape
exit_code=""
for _ in $(seq 900); do
    if ! kill -0 "$game_pid" 2>/dev/null; then
        wait "$game_pid"
        exit_code=$?
        game_pid=""
        break
    fi
    sleep 0.1
done
xdotool keyup Escape 2>/dev/null
[ -n "$exit_code" ] || fail "Escape did not end the game within 90 s"
grep -q "ERROR" "$work/game.log" && fail "the game reported an error"

if [ "$sanitized" = yes ]; then
    [ "$exit_code" -eq 0 ] || fail "exit code $exit_code: the sanitizers found a fault"
    if ls "$work"/memcheck.log* >/dev/null 2>&1; then
        cat "$work"/memcheck.log* >"$work/memcheck.log"
        fail "LeakSanitizer reported"
    fi
    echo "ok: no leak and no memory fault under LeakSanitizer, exit code 0"
else
    log="$work/memcheck.log"
    [ -f "$log" ] || fail "valgrind wrote no log"
    grep -E "definitely lost:|indirectly lost:|possibly lost:|ERROR SUMMARY:" "$log" | sed 's/^==[0-9]*== */  /'
    [ "$exit_code" -eq 0 ] || fail "exit code $exit_code (99: valgrind found errors)"
    grep -q "Invalid read\|Invalid write\|Invalid free" "$log" && fail "invalid memory access"
    grep -q "definitely lost in" "$log" && fail "memory definitely lost"
    grep -q "ERROR SUMMARY: 0 errors" "$log" || fail "valgrind counted errors"
    echo "ok: no definite leak, no invalid read or write under valgrind, exit code 0"
fi
echo "2 passed, 0 failed"
