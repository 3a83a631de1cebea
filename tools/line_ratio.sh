#!/usr/bin/env bash
# Test code against the code it tests, in non-blank lines of C, C++, shell
# and CMake files. Our rule: tests/ at a quarter to a third of the code.
# Tests are everything under tests/, the tools only the tests use included
# (screen reader, swap counter, fuzz targets). Code is the game's folders and
# the tools that serve more than the tests (asset generator, simulator,
# benchmarks). The glyph data (render/fonts.cpp) is a table of bits, not
# code, and stays out.
set -euo pipefail
cd "$(dirname "$0")/.."

non_blank_lines() {
    find "$@" -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' -o -name '*.sh' -o -name '*.cmake' \
        -o -name CMakeLists.txt \) ! -path render/fonts.cpp -print0 | xargs -0 cat | grep -cv '^[[:space:]]*$'
}

tests=$(non_blank_lines tests)
code=$(non_blank_lines app world game terrain path render replay net platform tools state)
echo "tests: $tests non-blank lines (tests/, with the test-only tools)"
echo "code:  $code non-blank lines (app world game terrain path render replay net platform tools state, without render/fonts.cpp)"
awk -v t="$tests" -v c="$code" 'BEGIN { printf "ratio: %.3f of the code (%s a third)\n", t / c, t * 3 <= c ? "within" : "above" }'
