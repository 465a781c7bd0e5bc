#!/bin/sh
# Instructions of one normal monitor tick and the share each listener adds after it: the
# fleet's metrics file, the history (with the maintenance notice it hands each minute to, and
# that notice's own look at the settings) and the state published to the views, each counted by callgrind over its benchmark's measured
# ticks (the file system is left out: the benchmarks' files only take the text).
set -eu
cd "$(dirname "$0")/.."
bench=build/native/bench/kelvane_bench
[ -x "$bench" ] || cmake --build build/native --target kelvane_bench >/dev/null
out=$(mktemp)
trap 'rm -f "$out"' EXIT

share() {  # benchmark, listener function, label
    valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect='*MeasuredTick*' \
        "$bench" --benchmark_filter="^$1\$" --benchmark_min_time=0.05 >/dev/null 2>&1
    python3 - "$out" "$2" "$3" <<'PY'
import re, sys

# Sums the calls and inclusive cost of each callee as callgrind recorded them per caller.
names, fn, totals = {}, None, {}
lines = open(sys.argv[1]).read().split("\n")
listener, label = sys.argv[2], sys.argv[3]

def name(ref):
    m = re.match(r"\((\d+)\)(?: (.*))?", ref)
    if m.group(2):
        names[m.group(1)] = m.group(2)
    return names[m.group(1)]

i = 0
while i < len(lines):
    line = lines[i]
    if line.startswith("fn="):
        fn = name(line[3:])
    elif line.startswith("cfn="):
        callee = name(line[4:])
        calls = int(lines[i + 1].split()[0][len("calls="):])
        cost = int(lines[i + 2].split()[1])
        key = None
        if "MeasuredTick" in fn and "Form1_Timer1_Timer" in callee:
            key = "tick"
        elif listener in callee:
            key = "listener"
        if key:
            c, t = totals.get(key, (0, 0))
            totals[key] = (c + calls, t + cost)
        i += 2
    i += 1
tick = totals["tick"][1] / totals["tick"][0]
extra = totals["listener"][1] / totals["listener"][0]
print("tick without the %s: %d instructions" % (label, round(tick - extra)))
print("the %s's share:%s %d instructions (+%.1f %%)"
      % (label, " " * max(0, 13 - len(label)), round(extra), 100 * extra / (tick - extra)))
PY
}

share BM_TickNormalWithExport 'TextFileExport::AfterTick' export
share BM_TickNormalWithHistory 'History::AfterTick' history
share BM_TickNormalWithHistory 'MaintenanceNotice::BeforeTell' maintenance
share BM_TickNormalWithPublisher 'StatePublisher::AfterTick' publisher
