#!/bin/sh
# Copies the screenshots that the last end-to-end run took into docs/images for the README.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
shots="$root/build/e2e/screenshots"
mkdir -p "$root/docs/images"
for f in "$shots"/*.png; do
    [ -e "$f" ] || continue
    case $(basename "$f") in
        # The tray pictures and the History window are cut out by the tests themselves.
        tray-*|history*) cp "$f" "$root/docs/images/"; continue ;;
    esac
    # The virtual screen is 1024 x 768 with the window in its middle; keep the middle.
    /usr/bin/convert "$f" -gravity center -crop 640x560+0+0 +repage "$root/docs/images/$(basename "$f")"
done
ls "$root/docs/images"
