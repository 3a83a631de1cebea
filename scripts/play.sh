#!/usr/bin/env bash
# Installs what building and running the game needs, builds the game with
# its pictures and sound (no tests), and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
exec ./build/varnhold
