#!/usr/bin/env bash
# Takes a picture of the game's window on a virtual X server, for the README.
# Usage: scripts/screenshot.sh [OUTPUT.png] [SECONDS]  (needs a build, xvfb,
# x11-apps and ImageMagick's convert)
set -euo pipefail
cd "$(dirname "$0")/.."
output=$(realpath -m "${1:-docs/screenshot.png}")
seconds=${2:-4}
[ -x build/varnhold ] || { echo "build the game first: ./scripts/build.sh" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

xvfb-run -a -s "-screen 0 640x480x24 -nolisten tcp" bash -c '
  cd build
  SDL_AUDIODRIVER=dummy ./varnhold & game=$!
  sleep "$1"
  xwd -root -silent >"$2/screen.xwd"
  kill $game; wait $game 2>/dev/null || true
' _ "$seconds" "$work"
convert "xwd:$work/screen.xwd" "png:$output"
echo "wrote $output"
