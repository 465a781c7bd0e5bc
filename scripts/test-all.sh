#!/bin/sh
# Runs every test tier and prints each tier's "N passed, N failed" line:
#   1. the unit tests natively (ctest, which also checks and tests the shipped alert rules
#      with promtool), then under AddressSanitizer and UBSan;
#   2. the same unit tests and the shell's own tests as Windows programs under Wine;
#   3. end to end: the installed kelvane.exe in fresh Wine prefixes under Xvfb.
# Exits non-zero when any tier fails.
set -u
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh || exit 1
status=0

# Runs ctest in a build folder; the full log stays beside it, the summary is shown.
unit_tests() {
    ctest --test-dir "$1" --output-on-failure -j 2 > "$1/ctest.log" 2>&1
    rc=$?
    [ $rc -eq 0 ] || grep -B2 -A20 'Failure\|FAILED\|Failed' "$1/ctest.log" | head -n 80
    tail -n 3 "$1/ctest.log"
    return $rc
}

echo "== tier 1: unit tests (native)"
unit_tests build/native || status=1
if [ -z "${KELVANE_SKIP_ASAN:-}" ]; then
    echo "== tier 1: unit tests (AddressSanitizer, UndefinedBehaviorSanitizer)"
    { cmake --preset native-asan >/dev/null && cmake --build build/native-asan -j 2 >/dev/null &&
      unit_tests build/native-asan; } || status=1
fi
if [ -x scripts/fuzz.sh ] && [ -z "${KELVANE_SKIP_FUZZ:-}" ]; then
    echo "== tier 1: fuzzing (bounded)"
    ./scripts/fuzz.sh || status=1
fi

echo "== tier 2: unit tests under Wine"
./scripts/wine-tests.sh || status=1

echo "== tier 3: end to end under Wine and Xvfb"
python3 tests/e2e/run_e2e.py || status=1

[ $status -eq 0 ] && echo "all tiers passed" || echo "some tier FAILED"
exit $status
