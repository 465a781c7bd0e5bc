#!/bin/sh
# Tier 2: the unit tests and the shell's tests as 32-bit Windows programs under Wine.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
work="$root/build/wine-tests"
"$root/scripts/wine-prefix.sh" "$work/prefix" || exit 1
export WINEPREFIX="$work/prefix" WINEARCH=win32 WINEDEBUG=-all
display=":${KELVANE_TIER2_DISPLAY:-94}"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
export DISPLAY="$display"
passed=0
failed=0
for exe in "$root/build/win32/tests/kelvane_tests.exe" "$root/build/win32/tests/win32/kelvane_win32_tests.exe"; do
    out="$work/$(basename "$exe").log"
    wine "$exe" > "$out" 2>&1
    rc=$?
    p=$(grep -c '^\[       OK \]' "$out")
    f=$(grep -c '^\[  FAILED  \] .*(' "$out")
    passed=$((passed + p))
    failed=$((failed + f))
    if [ $rc -ne 0 ] || [ "$p" -eq 0 ]; then
        failed=$((failed + (f == 0)))
        grep -A8 'Failure\|FAILED' "$out" | head -n 60
    fi
done
wineserver -k >/dev/null 2>&1
kill "$xvfb" 2>/dev/null
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
