#!/bin/sh
# Runs Kelvane on the simulated board: installs what is missing, builds, lays out a Wine
# prefix under build/demo, starts the program on $DISPLAY (or on a virtual screen when there
# is none) and leaves a screenshot at the path it prints.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
./scripts/install-deps.sh
./scripts/build.sh
prefix="$root/build/demo/prefix"
./scripts/wine-prefix.sh "$prefix"
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
own_display=""
if [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=:97
    Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    own_display=$!
    sleep 1
fi
wine 'C:\Program Files\Kelvane\kelvane.exe' >/dev/null 2>&1 &
kelvane=$!
sleep 12  # the program waits 4 s at start-up by design, then the LEDs warm up
shot="$root/build/demo/kelvane.png"
/usr/bin/import -display "$DISPLAY" -window root "$shot"
echo "Kelvane is running on the simulated board. Screenshot: $shot"
if [ -n "$own_display" ]; then
    wineserver -k
    kill "$own_display" 2>/dev/null || true
else
    echo "Close it from its tray menu (E&xit), or stop it with: WINEPREFIX=$prefix wineserver -k"
    wait "$kelvane" || true
fi
