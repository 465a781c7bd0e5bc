#!/bin/sh
# Runs Kelvane on the simulated board: installs what is missing, builds only what the demo
# runs (the program, the simulated driver library, the two companion stand-ins and the window
# probe that tells when warm-up is over; no tests, no benchmarks), lays out a Wine prefix under build/demo, starts the program on $DISPLAY (or
# on a virtual screen when there is none) and leaves a screenshot at the path it prints.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
./scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build build/win32 -j "$(nproc 2>/dev/null || echo 2)" --target kelvane brantelvio GetUser quick probe
install="$root/build/demo/install"
rm -rf "$install"
cmake --install build/win32 --prefix "$install" >/dev/null
prefix="$root/build/demo/prefix"
KELVANE_INSTALL_DIR="$install" ./scripts/wine-prefix.sh "$prefix"
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
own_display=""
if [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=":${KELVANE_DEMO_DISPLAY:-97}"
    Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    own_display=$!
    sleep 1
fi
wine 'C:\Program Files\Kelvane\kelvane.exe' >/dev/null 2>&1 &
kelvane=$!
# The program waits 4 s at start-up by design, then warms up for six ticks: the screenshot
# waits for the status line's "Normal...", as a healthy terminal shows it.
probe="$root/build/win32/tests/probe/probe.exe"
said="$root/build/demo/status.txt"
waited=0
while [ "$waited" -lt 60 ]; do
    # Through a file: Wine's helpers may keep a pipe open long after the probe has ended.
    wine "$probe" child 'Kelvane Ver 5.07' 1301 >"$said" 2>/dev/null || true
    if grep -q 'text=Normal\.\.\.' "$said"; then break; fi
    sleep 1
    waited=$((waited + 1))
done
sleep 1  # the tick that said so has drawn the LEDs
shot="$root/build/demo/kelvane.png"
/usr/bin/import -display "$DISPLAY" -window root "$shot"
if [ -n "$own_display" ]; then
    echo "There is no display here, so Kelvane ran on a virtual screen ($DISPLAY) and was"
    echo "closed again. What it showed: $shot"
    echo "To watch it on a desktop, run this script again from a terminal of that desktop."
    wineserver -k
    kill "$own_display" 2>/dev/null || true
else
    echo "Kelvane is running on the simulated board. Screenshot: $shot"
    echo "Close it from its tray menu (E&xit), or stop it with: WINEPREFIX=$prefix wineserver -k"
    wait "$kelvane" || true
fi
