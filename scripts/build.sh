#!/usr/bin/env bash
# Configures and builds the game with its pictures and sound into build/
# (the tests too when the folder was configured with -DBUILD_TESTING=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
