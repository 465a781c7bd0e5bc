#!/bin/sh
# Runs every test tier and prints each tier's "N passed, N failed" line:
#   1. the unit tests natively (ctest, which also checks and tests the shipped alert rules
#      with promtool), then built with clang under AddressSanitizer and UBSan together with
#      the fuzz targets, which then run for a bounded time;
#   2. the same unit tests and the shell's own tests as Windows programs under Wine;
#   3. end to end: the installed kelvane.exe in fresh Wine prefixes under Xvfb.
# Each stage prints how long it took, and the run ends with the list of stage times.
# Exits non-zero when any tier fails.
set -u
cd "$(dirname "$0")/.."
status=0
times=""
run_start=$(date +%s)

# Runs a stage and notes its time; "stage NAME command..." returns the command's status.
stage() {
    name=$1
    shift
    start=$(date +%s)
    "$@"
    rc=$?
    took=$(($(date +%s) - start))
    echo "-- $name: ${took} s"
    times="$times$(printf '%6d s  %s' "$took" "$name")
"
    return $rc
}

# Runs ctest in a build folder; the full log stays beside it, the summary is shown.
unit_tests() {
    ctest --test-dir "$1" --output-on-failure -j 2 > "$1/ctest.log" 2>&1
    rc=$?
    [ $rc -eq 0 ] || grep -B2 -A20 'Failure\|FAILED\|Failed' "$1/ctest.log" | head -n 80
    tail -n 3 "$1/ctest.log"
    return $rc
}

sanitizer_build() {
    cmake --preset sanitizers >/dev/null &&
        cmake --build build/sanitizers -j 2 >build/sanitizers-build.log 2>&1 ||
        { tail -n 40 build/sanitizers-build.log; return 1; }
}

stage "install dependencies" ./scripts/install-deps.sh || exit 1
stage "build: native and Windows, install tree, packages" ./scripts/build.sh || exit 1

echo "== tier 1: unit tests (native)"
stage "tier 1: unit tests (native)" unit_tests build/native || status=1
if [ -z "${KELVANE_SKIP_ASAN:-}" ]; then
    echo "== tier 1: unit tests (AddressSanitizer, UndefinedBehaviorSanitizer)"
    stage "build: sanitizers (clang)" sanitizer_build || status=1
    stage "tier 1: unit tests (sanitizers)" unit_tests build/sanitizers || status=1
fi
if [ -x scripts/fuzz.sh ] && [ -z "${KELVANE_SKIP_FUZZ:-}" ]; then
    echo "== tier 1: fuzzing (bounded)"
    stage "tier 1: fuzzing" ./scripts/fuzz.sh || status=1
fi

echo "== tier 2: unit tests under Wine"
stage "tier 2: unit tests under Wine" ./scripts/wine-tests.sh || status=1

echo "== tier 3: end to end under Wine and Xvfb"
stage "tier 3: end to end" python3 tests/e2e/run_e2e.py || status=1

echo "== stage times"
printf '%s' "$times"
printf '%6d s  total\n' "$(($(date +%s) - run_start))"
[ $status -eq 0 ] && echo "all tiers passed" || echo "some tier FAILED"
exit $status
