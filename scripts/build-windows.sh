#!/usr/bin/env bash
# Cross-builds the game for Windows with mingw-w64: OUT/varnhold.exe with its
# pictures and sound beside it, and OUT/varnhold-windows.zip for players.
# The pictures and the sound are drawn by the native asset generator of a
# Linux build folder (HOST), configured there first if it is not yet.
# Usage: build-windows.sh [OUT [HOST]]   (build-windows/, build-windows-host/)
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$source_dir/build-windows}")
host=$(realpath -m "${2:-$source_dir/build-windows-host}")
jobs=${VARNHOLD_JOBS:-2}
data_folders=(bmp_floor bmp_scr bmp_unit bmp_land sound)

for tool in x86_64-w64-mingw32-g++ zip; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (packages g++-mingw-w64-x86-64, zip)" >&2; exit 1; }
done
cache=()
command -v ccache >/dev/null && cache=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

if [ ! -f "$host/CMakeCache.txt" ]; then
    cmake -S "$source_dir" -B "$host" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${cache[@]}" >/dev/null
fi
cmake --build "$host" --target varnhold_assets -j "$jobs"

cmake -S "$source_dir" -B "$out" -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release "${cache[@]}" >/dev/null
cmake --build "$out" -j "$jobs"

for folder in "${data_folders[@]}"; do
    rm -rf "${out:?}/$folder"
    cp -r "$host/$folder" "$out/$folder"
done

# The zip unpacks into one folder that holds everything the game reads.
package="$out/package/varnhold"
rm -rf "$out/package" "$out/varnhold-windows.zip"
mkdir -p "$package"
cp -r "$out/varnhold.exe" "${data_folders[@]/#/$out/}" "$package/"
sed 's/$/\r/' "$source_dir/platform/win32/readme-windows.txt" >"$package/README.txt"
sed 's/$/\r/' "$source_dir/COPYING" >"$package/COPYING.txt"
(cd "$out/package" && zip -qr -X "$out/varnhold-windows.zip" varnhold)
echo "built $out/varnhold.exe and $out/varnhold-windows.zip"
