#!/usr/bin/env bash
# The game's data folders as players may leave them: read-only, without the
# picture folders, or with every picture (and the sound) replaced by junk.
# The executable runs from a copy in a folder of its own, so the pictures
# the build put beside it are never found; the data folder is the working
# directory. A read-only folder must still give every picture (the intro
# and the units are checked on the screen, pixel by pixel); a folder with
# no pictures or only junk must still run frames and draw its text, show no
# error, and every folder must be left exactly as it was: no file created.
# Usage: test_data_folders.sh BUILD_DIR SOURCE_DIR
set -u

build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
check="$build/tools/screencheck/screencheck"
work=$(mktemp -d)
xvfb_pid=""
game_pid=""
passed=0

fail() {
    echo "FAIL: $*"
    [ -f "$work/game.log" ] && tail -n 40 "$work/game.log" | sed 's/^/  game: /'
    exit 1
}

cleanup() {
    [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    chmod -R u+w "$work" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

for tool in Xvfb xdotool xwd od awk; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (packages xvfb, xdotool, x11-apps)"
done
[ -x "$build/varnhold" ] || fail "no game at $build/varnhold"
[ -x "$check" ] || fail "no screencheck at $check"
ldd "$build/varnhold" | grep -q libSDL2 || fail "the game was built without SDL2: it has no window to test"
picture_folders="bmp_floor bmp_scr bmp_unit bmp_land"
for folder in $picture_folders sound; do
    [ -d "$build/$folder" ] || fail "the build has no $folder folder"
done
sanitized=no
grep -q '^VARNHOLD_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null && sanitized=yes
# Root writes through a read-only mode; as root, the game runs as nobody,
# for whom the modes hold.
as_player=()
if [ "$(id -u)" -eq 0 ]; then
    if command -v setpriv >/dev/null; then
        as_player=(setpriv --reuid=65534 --regid=65534 --clear-groups)
        chmod 755 "$work"
    else
        echo "note: running as root without setpriv: only the listings tell whether a file was written"
    fi
fi

# The executable alone in a folder: nothing beside it to fall back on.
mkdir "$work/bin"
cp "$build/varnhold" "$work/bin/varnhold"

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
export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent

# ---- reading pictures and screens -----------------------------------------------------
# Unsigned integer of $3 bytes at offset $2 of file $1; $4 "big" or "little".
read_uint() {
    od -An -tu1 -j "$2" -N "$3" "$1" | awk -v order="$4" '{
        for (i = 1; i <= NF; i++) b[n++] = $i
    } END {
        v = 0
        if (order == "big") for (i = 0; i < n; i++) v = v * 256 + b[i]
        else for (i = n - 1; i >= 0; i--) v = v * 256 + b[i]
        print v
    }'
}

# A window dump as text, one pixel a line: "x y red green blue", y from the top.
xwd_pixels() {
    local header colours width height line_bytes
    header=$(read_uint "$1" 0 4 big)
    width=$(read_uint "$1" 16 4 big)
    height=$(read_uint "$1" 20 4 big)
    line_bytes=$(read_uint "$1" 48 4 big)
    colours=$(read_uint "$1" 76 4 big)
    [ "$(read_uint "$1" 44 4 big)" -eq 32 ] || return 1
    [ "$(read_uint "$1" 28 4 big)" -eq 0 ] || return 1
    tail -c +$((header + colours * 12 + 1)) "$1" | od -An -v -tu1 -w4 |
        awk -v w="$width" -v h="$height" -v per_line=$((line_bytes / 4)) '{
            x = NR - 1
            y = int(x / per_line)
            x = x % per_line
            if (x < w && y < h) print x, y, $3, $2, $1
        }'
}

# A 24-bit BMP as text: "column row_from_bottom red green blue".
bmp_pixels() {
    local offset width height
    offset=$(read_uint "$1" 10 4 little)
    width=$(read_uint "$1" 18 4 little)
    height=$(read_uint "$1" 22 4 little)
    tail -c +$((offset + 1)) "$1" | od -An -v -tu1 -w1 |
        awk -v w="$width" -v h="$height" -v stride=$(((width * 3 + 3) / 4 * 4)) '{
            i = NR - 1
            row = int(i / stride)
            at = i % stride
            if (row >= h || at >= w * 3) next
            c[at % 3] = $1
            if (at % 3 == 2) print int(at / 3), row, c[2], c[1], c[0]
        }'
}

# Of the intro's coloured pixels (black and 255 0 246 are see-through), how
# many per thousand are on the screen where the overlay puts them: its
# bottom-left corner at overlay (200, 200), the overlay's y counting up from
# the window's bottom row 479.
intro_shown_per_mille() {
    { bmp_pixels "$1" | sed 's/^/P /'; xwd_pixels "$2" | sed 's/^/S /'; } | awk '
        $1 == "P" {
            if (($4 == 0 && $5 == 0 && $6 == 0) || ($4 == 255 && $5 == 0 && $6 == 246)) next
            want[(200 + $2) " " (479 - 200 - $3)] = $4 " " $5 " " $6
            total++
            next
        }
        $1 == "S" { key = $2 " " $3; if (key in want && want[key] == $4 " " $5 " " $6) hit++ }
        END { print (total ? int(hit * 1000 / total) : 0) }'
}

# Colours of the unit pictures that none of the terrain and intro pictures
# use, and how many screen pixels have one of them.
unit_colours() {
    for picture in "$1"/bmp_unit/*.bmp; do bmp_pixels "$picture"; done | awk '{ print $3, $4, $5 }' | sort -u >"$work/unit.colours"
    for picture in "$1"/bmp_floor/*.bmp "$1"/bmp_scr/*.bmp; do bmp_pixels "$picture"; done |
        awk '{ print $3, $4, $5 }' | sort -u >"$work/other.colours"
    comm -23 "$work/unit.colours" "$work/other.colours" | grep -v '^0 0 0$' | grep -v '^255 0 246$' >"$work/own.colours"
}

unit_pixels_on_screen() {
    xwd_pixels "$1" | awk -v colours="$work/own.colours" '
        BEGIN { while ((getline line < colours) > 0) own[line] = 1 }
        ($3 " " $4 " " $5) in own { n++ }
        END { print n + 0 }'
}

# ---- running the game in a folder -------------------------------------------------------
window=""

listing() { (cd "$1" && find . -printf '%p %s %m\n' | sort); }

# What the X server shows, for a window that never came.
window_names() { xwininfo -root -tree 2>/dev/null | grep -E '^ +0x' | sed 's/^ *//' | head -n 8 | tr '\n' ';'; }

start_game_in() {
    local folder=$1
    (
        cd "$folder" || exit 1
        if [ "$sanitized" = yes ]; then
            ASAN_OPTIONS=detect_leaks=1 exec "${as_player[@]}" "$source_dir/scripts/sanitized-run.sh" "$work/bin/varnhold"
        else
            exec "${as_player[@]}" "$work/bin/varnhold"
        fi
    ) >"$work/game.log" 2>&1 &
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
}

dump() { xwd -id "$window" -silent >"$work/screen.xwd" 2>/dev/null; }

# Waits up to $4 seconds for the text on the screen.
wait_for_text() {
    for _ in $(seq $(($4 * 10))); do
        dump && "$check" shows "$work/screen.xwd" "$1" "$2" "$3" >/dev/null && return 0
        sleep 0.1
    done
    return 1
}

stop_game() {
    xdotool keydown Escape
    local exit_code=""
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
    [ -n "$exit_code" ] || fail "$1: Escape did not end the game"
    [ "$exit_code" -eq 0 ] || fail "$1: exit code $exit_code"
    grep -q "ERROR" "$work/game.log" && fail "$1: the game reported an error"
    grep -q "Sanitizer" "$work/game.log" && fail "$1: a sanitizer reported"
    return 0
}

# Runs frames and shows its text: the status lines are drawn every frame.
expect_running_status() {
    wait_for_text 40 400 "Press H for help." 30 || fail "$1: no status line"
    wait_for_text 40 380 "map_sx=32 map_sy=32" 5 || fail "$1: no map_sx=32 map_sy=32 line"
}

expect_unchanged() {
    listing "$2" >"$work/after.list"
    listing "$work/bin" >>"$work/after.list"
    cmp -s "$work/before.list" "$work/after.list" ||
        fail "$1: files changed: $(diff "$work/before.list" "$work/after.list" | grep '^[<>]' | head -5 | tr '\n' ' ')"
}

# The player owns the data folder, so that only its modes stand between the
# game and a new file.
remember_listing() {
    [ ${#as_player[@]} -gt 0 ] && chown -R 65534:65534 "$1"
    listing "$1" >"$work/before.list"
    listing "$work/bin" >>"$work/before.list"
}

# ---- 1. a read-only copy of the data ------------------------------------------------------
data="$work/read_only"
mkdir "$data"
for folder in $picture_folders sound; do cp -r "$build/$folder" "$data/"; done
unit_colours "$data"
[ -s "$work/own.colours" ] || fail "the unit pictures have no colour of their own to look for"
remember_listing "$data"
chmod -R a-w "$data"
listing "$data" >"$work/before.list"
listing "$work/bin" >>"$work/before.list"
start_game_in "$data"
expect_running_status "read-only data"
dump || fail "cannot read the window"
intro=$(intro_shown_per_mille "$data/bmp_scr/intro1.bmp" "$work/screen.xwd")
units=$(unit_pixels_on_screen "$work/screen.xwd")
echo "read-only data: ${intro} per mille of the intro in place, $units pixels in the units' own colours"
# Status lines and unit labels cross the intro here and there.
[ "$intro" -ge 900 ] || fail "read-only data: the intro picture is not on the screen ($intro per mille)"
[ "$units" -ge 200 ] || fail "read-only data: hardly any unit picture on the screen ($units pixels)"
stop_game "read-only data"
expect_unchanged "read-only data" "$data"
echo "ok: a read-only data folder gives every picture and stays as it was"
passed=$((passed + 1))

# ---- 2. no pictures: the folders missing, then there but empty ------------------------------
# Empty folders are where an open that creates its file would leave empty
# pictures behind.
for variant in missing empty; do
    data="$work/no_pictures_$variant"
    mkdir "$data"
    cp -r "$build/sound" "$data/"
    if [ "$variant" = empty ]; then
        for folder in $picture_folders; do mkdir "$data/$folder"; done
    fi
    remember_listing "$data"
    if [ "$variant" = empty ]; then
        # Here a creating open would succeed: the player may write.
        "${as_player[@]}" touch "$data/bmp_unit/probe" || fail "the player cannot write into its data folder"
        rm "$data/bmp_unit/probe"
    fi
    start_game_in "$data"
    expect_running_status "picture folders $variant"
    dump || fail "cannot read the window"
    intro=$(intro_shown_per_mille "$build/bmp_scr/intro1.bmp" "$work/screen.xwd")
    units=$(unit_pixels_on_screen "$work/screen.xwd")
    echo "picture folders $variant: ${intro} per mille of the intro, $units pixels in the units' own colours"
    [ "$intro" -le 100 ] || fail "picture folders $variant: an intro picture came from somewhere ($intro per mille)"
    stop_game "picture folders $variant"
    expect_unchanged "picture folders $variant" "$data"
    echo "ok: with the picture folders $variant the game runs, draws its text and creates no file"
    passed=$((passed + 1))
done

# ---- 3. junk in place of every picture and of the sound ---------------------------------------
# Four kinds of junk in turn: random bytes, a real file cut inside its header,
# a real header claiming the largest picture over too few pixels, an empty file.
data="$work/junk"
mkdir "$data"
for folder in $picture_folders sound; do cp -r "$build/$folder" "$data/"; done
kind=0
for file in "$data"/bmp_*/*.bmp "$data"/sound/*.wav; do
    case $((kind % 4)) in
        0) head -c $((1000 + kind * 37)) /dev/urandom >"$file" ;;
        1) head -c 40 "$file" >"$work/cut" && mv "$work/cut" "$file" ;;
        2) printf '\x00\x10\x00\x00\x00\x10\x00\x00' | dd of="$file" bs=1 seek=18 conv=notrunc status=none ;;
        3) : >"$file" ;;
    esac
    kind=$((kind + 1))
done
remember_listing "$data"
start_game_in "$data"
expect_running_status "junk pictures"
# F1 deals a new game and plays the (junk) sound again.
xdotool keydown F1 sleep 0.3 keyup F1
expect_running_status "junk pictures after F1"
stop_game "junk pictures"
expect_unchanged "junk pictures" "$data"
echo "ok: with junk for every picture and the sound the game runs, draws its text and creates no file"
passed=$((passed + 1))

echo "$passed passed, 0 failed"
