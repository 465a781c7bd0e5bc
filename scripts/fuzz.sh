#!/bin/sh
# Builds the libFuzzer targets (preset "sanitizers") and runs each for a bounded time from a
# scratch copy of its seed corpus under build/sanitizers/scratch, so the corpus in the
# repository stays as it is. Two targets run at a time, one per core. Prints per target the
# executions, seconds, executions per second and whether it crashed, then "N passed, N failed";
# a target that crashes, hangs or leaks fails.
#   FUZZ_SECONDS  seconds per target (default 20)
#   FUZZ_RUNS     run each target to this many executions instead, however long that takes,
#                 or until FUZZ_SECONDS if that is given too (long runs on a shared machine:
#                 FUZZ_RUNS=10000000 FUZZ_JOBS=1 nice -n 19 scripts/fuzz.sh)
#   FUZZ_JOBS     targets run at a time (default 2)
#   FUZZ_TARGETS  space-separated targets to run (default: every fuzz/*_fuzz.cpp)
#   FUZZ_REPORT   file that receives one line "target executions crashes seconds" per target
set -u
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
runs=${FUZZ_RUNS:-}
jobs=${FUZZ_JOBS:-2}
if [ -z "$runs" ]; then
    limits="-max_total_time=$seconds"
elif [ -n "${FUZZ_SECONDS:-}" ]; then
    limits="-runs=$runs -max_total_time=$seconds"
else
    limits="-runs=$runs"
fi
targets=${FUZZ_TARGETS:-$(for f in fuzz/*_fuzz.cpp; do basename "$f" .cpp; done)}

mkdir -p build
cmake --preset sanitizers >build/sanitizers-configure.log 2>&1 ||
    { cat build/sanitizers-configure.log; exit 1; }
# shellcheck disable=SC2086
cmake --build build/sanitizers -j 2 --target $targets >build/fuzz-build.log 2>&1 ||
    { tail -n 40 build/fuzz-build.log; echo "0 passed, 1 failed"; exit 1; }

scratch=build/sanitizers/scratch
run_target() {
    target=$1
    name=${target%_fuzz}
    dir=$scratch/$name
    rm -rf "$dir"
    mkdir -p "$dir/corpus" "$dir/artifacts"
    [ -d "fuzz/corpus/$name" ] && cp "fuzz/corpus/$name/"* "$dir/corpus/" 2>/dev/null
    # shellcheck disable=SC2086
    set -- $limits -timeout=10 -print_final_stats=1 -artifact_prefix="$dir/artifacts/"
    [ -f "fuzz/$name.dict" ] && set -- "$@" -dict="fuzz/$name.dict"
    start=$(date +%s)
    "build/sanitizers/fuzz/$target" "$@" "$dir/corpus" >"$dir/log" 2>&1
    echo $? >"$dir/rc"
    echo $(($(date +%s) - start)) >"$dir/seconds"
}
running=0
for target in $targets; do
    run_target "$target" &
    running=$((running + 1))
    if [ $running -ge "$jobs" ]; then wait; running=0; fi
done
wait

passed=0
failed=0
for target in $targets; do
    name=${target%_fuzz}
    dir=$scratch/$name
    rc=$(cat "$dir/rc")
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -n 1)
    # A crash ends the run before the final statistics; the last status line still counts.
    [ -n "$execs" ] || execs=$(sed -n 's/^#\([0-9]*\).*/\1/p' "$dir/log" | tail -n 1)
    crashes=$(find "$dir/artifacts" -type f | wc -l)
    took=$(cat "$dir/seconds")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log" | tail -n 1)
    if [ $rc -eq 0 ] && [ "$crashes" -eq 0 ]; then
        passed=$((passed + 1))
        echo "$target: ${execs:-0} executions in $took s (${rate:-0}/s), no crash"
    else
        failed=$((failed + 1))
        echo "$target: ${execs:-0} executions, FAILED (exit $rc, $crashes crash input(s) in $dir/artifacts)"
        grep -m 5 -E 'ERROR|SUMMARY|^[a-z -]+: |deadly|timeout' "$dir/log" | sed 's/^/    /'
    fi
    [ -n "${FUZZ_REPORT:-}" ] && echo "$target ${execs:-0} $crashes $took" >>"$FUZZ_REPORT"
done
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
