#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite three ways:
#   build/        the normal build (g++), every test; the leak check runs
#                 the game under valgrind here
#   build-asan/   the same code and tests with AddressSanitizer and
#                 UndefinedBehaviorSanitizer (g++), leaks checked by LSan
#   build-fuzz/   the libFuzzer targets (clang) of the picture loader and
#                 the replay reader, each run for VARNHOLD_FUZZ_SECONDS (60
#                 by default)
# Every stage runs even when an earlier one failed; the exit code is non-zero
# if any did. The end-to-end tests (real windows on a virtual X server) are
# marked to run one at a time, so that none is starved of the CPU.
set -uo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --tests || exit 1

jobs=$(nproc)
fuzz_seconds=${VARNHOLD_FUZZ_SECONDS:-60}
failed_stages=()
total_passed=0
total_failed=0

# Adds up ctest's closing lines ("... N tests failed out of M").
count_results() {
    local failed total
    while read -r failed total; do
        total_passed=$((total_passed + total - failed))
        total_failed=$((total_failed + failed))
    done < <(sed -nE 's/^[0-9]+% tests passed, ([0-9]+) tests? failed out of ([0-9]+).*/\1 \2/p' "$1")
}

stage() {
    local name=$1
    shift
    echo "==== $name"
    local started=$SECONDS log
    log=$(mktemp)
    "$@" 2>&1 | tee "$log"
    local status=${PIPESTATUS[0]}
    count_results "$log"
    rm -f "$log"
    echo "==== $name: $([ "$status" -eq 0 ] && echo ok || echo "FAILED ($status)") in $((SECONDS - started)) s"
    [ "$status" -eq 0 ] || failed_stages+=("$name")
    return 0
}

configure_and_build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON "$@" >/dev/null && cmake --build "$dir" -j "$jobs" "${build_targets[@]}"
}

# CTest keeps a passing test's output in its log; the figures the long
# tests measure (frame rate, memory, timings) are printed from there.
run_suite() {
    (
        cd "$1" || exit 1
        ctest --output-on-failure -j "$jobs"
        status=$?
        grep -hE "^(measured:|resident memory|long run:|timings:|ok: varnhold_)" Testing/Temporary/LastTest.log 2>/dev/null |
            sed 's/^/  figures: /'
        exit $status
    )
}

build_targets=()
stage "normal build" configure_and_build build
stage "normal tests" run_suite build

stage "sanitizer build" configure_and_build build-asan -DVARNHOLD_SANITIZE=ON
stage "sanitizer tests" run_suite build-asan

build_targets=(--target fuzz_loader --target fuzz_replay)
stage "fuzz build" configure_and_build build-fuzz -DVARNHOLD_FUZZ=ON -DVARNHOLD_FUZZ_SECONDS="$fuzz_seconds" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
stage "fuzz" bash -c 'cd build-fuzz && ctest --output-on-failure -R "^fuzz_"'

echo "stages failed: ${failed_stages[*]:-none}"
echo "total: $total_passed passed, $total_failed failed"
[ ${#failed_stages[@]} -eq 0 ]
