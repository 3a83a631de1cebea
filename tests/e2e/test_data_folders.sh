#!/usr/bin/env bash
# The game's data folders as players may leave them: read-only, with empty
# picture folders, or with junk for every picture and the sound. The
# executable runs in a folder of its own, with the data folder as working
# directory. Read-only data still gives its pictures; no pictures or junk
# still runs and draws its text, and junk is read before the real files
# beside the executable; no error, and no folder gains or loses a file.
# Usage: test_data_folders.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/harness.sh"
picture_folders="bmp_floor bmp_scr bmp_unit bmp_land"
for folder in $picture_folders sound; do
    [ -d "$build/$folder" ] || fail "the build has no $folder folder"
done
# Root writes through a read-only mode; as root, the game runs as nobody,
# for whom the modes hold. Everything it runs lives in the work folder.
as_player=()
if [ "$(id -u)" -eq 0 ]; then
    needs util-linux setpriv
    as_player=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
mkdir "$work/bin"
cp "$build/varnhold" "$work/bin/varnhold"
start_xserver

listing() { (cd "$1" && find . -printf '%p %s %m\n' | sort); }
# play_in WHAT FOLDER LEAST MOST [read-only]: the game, run in FOLDER as its
# working directory, draws its status lines with the intro picture at LEAST
# to MOST per mille of the screen (status lines and unit labels cross it
# here and there), deals again on F1 (playing the sound again), ends with 0
# on Escape, and no folder gains or loses a file.
play_in() {
    # The player owns the data folder: only its modes stand between the game
    # and a new file.
    [ ${#as_player[@]} -gt 0 ] && chown -R 65534:65534 "$2"
    [ "${5:-}" = read-only ] && chmod -R a-w "$2"
    { listing "$2"; listing "$work/bin"; } >"$work/before.list"
    start_game "$2" "${as_player[@]}" "${game_launcher[@]}" "$work/bin/varnhold"
    expect_status_lines "$1"
    dump && intro=$("$check" picture "$work/screen.xwd" 200 200 "$build/bmp_scr/intro1.bmp") ||
        fail "$1: cannot compare the intro"
    [ "$intro" -ge "$3" ] && [ "$intro" -le "$4" ] || fail "$1: the intro picture is $intro per mille of the screen"
    hold_key F1 0.3
    wait_for_text 40 380 "map_sx=32 map_sy=32" 10 || fail "$1: no status line after F1"
    quit_with_escape "$1"
    { listing "$2"; listing "$work/bin"; } >"$work/after.list"
    cmp -s "$work/before.list" "$work/after.list" ||
        fail "$1: files changed: $(diff "$work/before.list" "$work/after.list" | grep '^[<>]' | head -5 | tr '\n' ' ')"
}

# ---- a read-only copy of the data -------------------------------------------------
data="$work/read_only"
mkdir "$data"
for folder in $picture_folders sound; do cp -r "$build/$folder" "$data/"; done
play_in "read-only data" "$data" 900 1000 read-only
ok "a read-only data folder gives the intro picture ($intro per mille) and stays as it was"

# ---- no pictures: the folders there but empty -------------------------------------------
# Empty folders are where an open that creates its file would leave empty
# pictures behind: there the player may write.
data="$work/no_pictures"
mkdir "$data"
cp -r "$build/sound" "$data/"
for folder in $picture_folders; do mkdir "$data/$folder"; done
[ ${#as_player[@]} -gt 0 ] && chown -R 65534:65534 "$data"
"${as_player[@]}" touch "$data/bmp_unit/probe" || fail "the player cannot write into its data folder"
rm "$data/bmp_unit/probe"
play_in "picture folders empty" "$data" 0 100
ok "with the picture folders empty the game runs, draws its text and creates no file"

# ---- junk in place of every picture and of the sound ----------------------------------
# Four kinds of junk in turn: random bytes, a real file cut inside its header,
# a real header claiming the largest picture over too few pixels, an empty file.
# The real files lie beside the executable: the working directory's come first.
data="$work/junk"
mkdir "$data"
for folder in $picture_folders sound; do cp -r "$build/$folder" "$data/" && cp -r "$build/$folder" "$work/bin/"; done
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
play_in "junk pictures" "$data" 0 100
ok "with junk for every picture and the sound the game runs, draws its text and creates no file;" \
    "the junk is read before the pictures beside the executable"
finish
