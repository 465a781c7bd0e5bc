#!/bin/sh
# Instructions of one normal monitor tick with the fleet's metrics file built after it, and
# the share the export adds, counted by callgrind over the benchmark's measured ticks (the
# file system is left out: the benchmark's replace only takes the text).
set -eu
cd "$(dirname "$0")/.."
bench=build/native/bench/kelvane_bench
[ -x "$bench" ] || cmake --build build/native --target kelvane_bench >/dev/null
out=$(mktemp)
trap 'rm -f "$out"' EXIT
valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect='*MeasuredTick*' \
    "$bench" --benchmark_filter='^BM_TickNormalWithExport$' --benchmark_min_time=0.05 \
    >/dev/null 2>&1
python3 - "$out" <<'PY'
import re, sys

# Sums the calls and inclusive cost of each callee as callgrind recorded them per caller.
names, fn, totals = {}, None, {}
lines = open(sys.argv[1]).read().split("\n")

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
        elif "TextFileExport::AfterTick" in callee:
            key = "export"
        if key:
            c, t = totals.get(key, (0, 0))
            totals[key] = (c + calls, t + cost)
        i += 2
    i += 1
tick = totals["tick"][1] / totals["tick"][0]
export = totals["export"][1] / totals["export"][0]
print("tick without the export: %d instructions" % round(tick - export))
print("the export's share:      %d instructions (+%.1f %%)" % (round(export), 100 * export / (tick - export)))
PY
