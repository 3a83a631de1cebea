#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite three ways:
#   build/        the normal build (g++), every test; the leak check runs
#                 the game under valgrind here
#   build-asan/   the same code and tests with AddressSanitizer and
#                 UndefinedBehaviorSanitizer (g++), leaks checked by LSan
#   build-fuzz/   the libFuzzer targets in tests/fuzz/ (clang): the picture
#                 loader's, the replay reader's and the packet reader's, each
#                 run for VARNHOLD_FUZZ_SECONDS (60 by default)
# Every stage runs even when an earlier one failed; the exit code is non-zero
# if any did. Here every tool is installed and the tests run as root, so a
# test that reports itself skipped means something is missing: that fails
# its stage too, naming the test and its reason. The end-to-end tests (real
# windows on a virtual X server) are marked to run one at a time, so that
# none is starved of the CPU.
set -uo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --tests || exit 1

jobs=$(nproc)
fuzz_seconds=${VARNHOLD_FUZZ_SECONDS:-60}
failed_stages=()
total_passed=0
total_failed=0
total_skipped=0

# Adds up ctest's closing lines ("... N tests failed out of M"), where a
# skipped test counts as passed, and its list of tests that did not run.
count_results() {
    local failed total skipped
    while read -r failed total; do
        total_passed=$((total_passed + total - failed))
        total_failed=$((total_failed + failed))
    done < <(sed -nE 's/^[0-9]+% tests passed, ([0-9]+) tests? failed out of ([0-9]+).*/\1 \2/p' "$1")
    skipped=$(grep -cE '^SKIPPED: ' "$1")
    total_passed=$((total_passed - skipped))
    total_skipped=$((total_skipped + skipped))
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

# Every test CTest did not run (skipped, disabled, not built), from its JUnit
# report, with the reason the test gave ("skipped: ..." from the shell tests,
# GoogleTest's own line after "Skipped") from its log. One line each:
#   SKIPPED: NAME: REASON
report_not_run() {
    local name
    for name in $(sed -nE 's/.*<testcase name="([^"]*)".* status="(notrun|disabled)".*/\1/p' "$1"); do
        echo "SKIPPED: $name: $(awk -v name="$name" '
            /^[0-9]+\/[0-9]+ Test: / { current = substr($0, index($0, "Test: ") + 6) }
            current == name && /^skipped: / { print substr($0, 10); exit }
            current == name && after_skip { print; exit }
            current == name && /: Skipped$/ { after_skip = 1 }' "$2")"
    done
}

# CTest keeps a passing test's output in its log; the figures the long
# tests measure (frame rate, memory, timings) are printed from there. A
# skipped test fails the suite.
run_suite() {
    (
        cd "$1" || exit 1
        rm -f Testing/junit.xml
        ctest --output-on-failure -j "$jobs" --output-junit Testing/junit.xml
        status=$?
        not_run=$(report_not_run Testing/junit.xml Testing/Temporary/LastTest.log)
        if [ -n "$not_run" ]; then
            echo "$not_run"
            echo "tests that did not run fail the suite: every tool is meant to be installed here"
            [ "$status" -eq 0 ] && status=1
        fi
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

build_targets=(--target fuzz_targets)
stage "fuzz build" configure_and_build build-fuzz -DVARNHOLD_FUZZ=ON -DVARNHOLD_FUZZ_SECONDS="$fuzz_seconds" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
stage "fuzz" bash -c 'cd build-fuzz && ctest --output-on-failure -R "^fuzz_"'

echo "stages failed: ${failed_stages[*]:-none}"
echo "total: $total_passed passed, $total_failed failed, $total_skipped skipped"
[ ${#failed_stages[@]} -eq 0 ]
