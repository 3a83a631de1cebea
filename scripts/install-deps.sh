#!/usr/bin/env bash
# Installs the Debian packages that are missing: those that building and
# running the game needs, and with --tests also those of the test suite
# (GoogleTest, Google Benchmark, clang for the fuzz target, valgrind, a
# virtual X server and its tools, Wine and mingw-w64 for the Windows build,
# iproute2 for the network namespaces of the LAN and router tests, the
# packaging tools: rsvg-convert draws the package's PNG icons, appstream and
# devscripts' hardening-check check what the package holds; a router in
# network namespaces: nftables and miniupnpd, with upnpc and natpmpc to
# ask it and socat to play a broken one). miniupnpd's own service stays off: debconf's default, taken
# without questions here, is not to start it, and the test runs its own.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri libminiupnpc-dev
)
if [ "${1:-}" = --tests ]; then
  packages+=(
    libegl-dev libegl-mesa0 libgtest-dev libbenchmark-dev
    clang libclang-rt-14-dev valgrind
    xvfb xdotool x11-apps x11-utils iproute2
    dpkg-dev file lintian librsvg2-bin appstream devscripts
    g++-mingw-w64-x86-64 wine wine64 zip unzip
    iproute2 nftables miniupnpd miniupnpd-nftables miniupnpc natpmpc socat
  )
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)
echo "installing: ${missing[*]}"
"${as_root[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
