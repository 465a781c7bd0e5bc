#!/bin/sh
# Measures the reliability figures and writes them into docs/reliability.md, between the
# lines "<!-- figures -->" and "<!-- /figures -->": every fuzz target for a longer bounded
# time, the soak test in a Release build and under AddressSanitizer/UBSan, and the whole unit
# suite under the sanitizers. Logs stay in build/reliability.
#   FIGURES_FUZZ_SECONDS  seconds per fuzz target (default 300)
set -u
cd "$(dirname "$0")/.."
seconds=${FIGURES_FUZZ_SECONDS:-300}
out=build/reliability
mkdir -p "$out"
status=0

echo "== fuzzing, $seconds s per target"
: >"$out/fuzz.txt"
FUZZ_SECONDS=$seconds FUZZ_REPORT="$out/fuzz.txt" ./scripts/fuzz.sh | tee "$out/fuzz.log" || status=1

echo "== soak test, Release"
{ cmake -S . -B "$out/release" -G Ninja -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=Release \
      -DKELVANE_BENCH=OFF >/dev/null &&
  cmake --build "$out/release" -j 2 --target kelvane_tests >"$out/release-build.log" 2>&1; } ||
    { tail -n 30 "$out/release-build.log"; exit 1; }
"$out/release/tests/kelvane_tests" --gtest_filter='*Soak*' >"$out/soak-release.log" 2>&1 || status=1
grep -E '^soak:|OK|FAILED' "$out/soak-release.log"

echo "== unit tests and soak test, AddressSanitizer and UBSan"
{ cmake --preset sanitizers >/dev/null &&
  cmake --build build/sanitizers -j 2 >"$out/asan-build.log" 2>&1; } ||
    { tail -n 30 "$out/asan-build.log"; exit 1; }
build/sanitizers/tests/kelvane_tests --gtest_filter='*Soak*' >"$out/soak-asan.log" 2>&1 || status=1
grep -E '^soak:|OK|FAILED' "$out/soak-asan.log"
ctest --test-dir build/sanitizers -j 2 >"$out/ctest-asan.log" 2>&1 || status=1
tail -n 3 "$out/ctest-asan.log"

# gtest's "[       OK ] Suite.Name/0 (1234 ms)" -> "1234"
soak_ms() { sed -n 's/^\[ *OK *\] .*SoakOnChip.*\/\([0-9]\) (\([0-9]*\) ms)$/\1 \2/p' "$1"; }
layout_name() { [ "$1" = 0 ] && echo "newer layout (revision 8)" || echo "older layout (revision 5)"; }

{
    echo "Measured $(date -u +%Y-%m-%d) by scripts/reliability-figures.sh on $(nproc) cores" \
        "($(clang++ --version | head -n 1 | sed 's/ (.*//'); $(g++ --version | head -n 1))."
    echo
    echo "Fuzzing, $seconds s per target, each from a scratch copy of its seed corpus:"
    echo
    echo "| Target | Executions | Crash inputs |"
    echo "|---|---|---|"
    while read -r target execs crashes _; do
        echo "| $target | $execs | $crashes |"
    done <"$out/fuzz.txt"
    echo
    echo "Soak test (100,000 monitor ticks per layout, seed 20061207):"
    echo
    echo "| Build | Layout | Time | Faults injected and alarm paths taken |"
    echo "|---|---|---|---|"
    for build in release asan; do
        label=$([ $build = release ] && echo "Release" || echo "ASan + UBSan (Debug)")
        soak_ms "$out/soak-$build.log" | while read -r index ms; do
            line=$(grep '^soak:' "$out/soak-$build.log" | sed -n "$((index + 1))p" |
                   sed 's/^soak: [0-9]* ticks; //')
            echo "| $label | $(layout_name "$index") | $ms ms | $line |"
        done
    done
    echo
    echo "Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer:" \
        "$(grep -E 'tests passed|tests failed' "$out/ctest-asan.log" | tail -n 1)."
} >"$out/figures.md"

doc=docs/reliability.md
if grep -q '^<!-- figures -->$' "$doc" && grep -q '^<!-- /figures -->$' "$doc"; then
    awk -v figures="$out/figures.md" '
        /^<!-- figures -->$/ { print; while ((getline line < figures) > 0) print line; skip = 1; next }
        /^<!-- \/figures -->$/ { skip = 0 }
        !skip { print }' "$doc" >"$out/reliability.md" && mv "$out/reliability.md" "$doc"
    echo "figures written to $doc"
else
    echo "no figure markers in $doc; figures left in $out/figures.md"
    status=1
fi
exit $status
