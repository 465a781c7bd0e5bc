#!/bin/sh
# Usage: scripts/wine-prefix.sh DIR
# Makes DIR a fresh 32-bit Wine prefix with the Kelvane installation (build/install) in its
# drive C and a single virtual desktop, so that every program of the prefix (Kelvane, the
# probe, message boxes) shares one desktop. The initialised prefix is cached in
# build/wine-template, since the first boot of a prefix takes half a minute.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
target=$1
template="$root/build/wine-template"
export WINEARCH=win32 WINEDEBUG=-all
mkdir -p "$root/build"
# Parallel test workers share the template: the first one makes it, the others wait.
exec 9>"$root/build/wine-template.lock"
flock 9
if [ ! -f "$template/.ready" ]; then
    rm -rf "$template"
    WINEPREFIX="$template" wineboot -i >/dev/null 2>&1
    WINEPREFIX="$template" wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    WINEPREFIX="$template" wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    # No crash dialogs: a crash must show up as a failed test, not as a window.
    WINEPREFIX="$template" wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    WINEPREFIX="$template" wineserver -w
    touch "$template/.ready"
fi
flock -u 9
rm -rf "$target"
mkdir -p "$(dirname "$target")"
cp -a "$template" "$target"
rm -f "$target/.ready"
cp -a "${KELVANE_INSTALL_DIR:-$root/build/install}/." "$target/drive_c/"
