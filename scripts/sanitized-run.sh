#!/usr/bin/env bash
# Runs one program of the sanitizer build (a test, or the game) with Mesa's
# software driver held in memory until the process ends.
#
# Mesa unloads its driver when the last GL context goes. The little memory
# the driver's globals still pointed to then reads as leaked, on stack
# frames inside a library that is no longer there, so no suppression can
# name them. Held, the driver's memory stays reachable, and whatever Mesa
# itself really leaks keeps its frames for lsan-mesa.supp beside this file.
# Usage: sanitized-run.sh PROGRAM [ARGUMENTS...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
driver=""
for candidate in /usr/lib/*/dri/swrast_dri.so /usr/lib/dri/swrast_dri.so; do
    if [ -f "$candidate" ]; then
        driver=$candidate
        break
    fi
done
# The sanitizer's runtime must come first of all libraries, so it is named
# before the driver.
asan=$(ldd "$1" 2>/dev/null | awk '/libasan/ { print $3; exit }')
if [ -n "$driver" ] && [ -n "$asan" ]; then
    export LD_PRELOAD="$asan $driver${LD_PRELOAD:+ $LD_PRELOAD}"
fi
export LSAN_OPTIONS="suppressions=$here/lsan-mesa.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
exec "$@"
