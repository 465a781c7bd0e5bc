#!/bin/sh
# Installs the cross compilers, Wine and the X tools the build and the tests need.
# Safe to run again: it only installs what is missing.
set -eu

need=""
command -v i686-w64-mingw32-g++-posix >/dev/null 2>&1 || need="$need g++-mingw-w64-i686"
command -v wine >/dev/null 2>&1 || need="$need wine wine32:i386 wine64"
command -v Xvfb >/dev/null 2>&1 || need="$need xvfb"
command -v xdotool >/dev/null 2>&1 || need="$need xdotool"
# A stand-in "convert" may sit earlier on the PATH; ask the package manager instead.
dpkg-query -W -f='${Status}' imagemagick 2>/dev/null | grep -q "ok installed" || need="$need imagemagick"
command -v cmake >/dev/null 2>&1 || need="$need cmake"
command -v ninja >/dev/null 2>&1 || need="$need ninja-build"
command -v clang++ >/dev/null 2>&1 || need="$need clang"
[ -d /usr/src/googletest ] || need="$need googletest"
pkg_missing() { ! dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }
pkg_missing libgtest-dev && need="$need libgtest-dev"
pkg_missing libclang-rt-14-dev && need="$need libclang-rt-14-dev"
# The Windows Installer package is built with wixl; msibuild (msitools) finishes its tables.
command -v wixl >/dev/null 2>&1 || need="$need wixl"
command -v msibuild >/dev/null 2>&1 || need="$need msitools"
command -v flock >/dev/null 2>&1 || need="$need util-linux"
# Repeated builds on a developer's machine reuse their objects.
command -v ccache >/dev/null 2>&1 || need="$need ccache"
command -v python3 >/dev/null 2>&1 || need="$need python3"
[ -f /usr/include/benchmark/benchmark.h ] || need="$need libbenchmark-dev"
# The fleet export's file is checked with a real parser of its format.
pkg_missing python3-prometheus-client && need="$need python3-prometheus-client"
# The shipped alert rules are checked with promtool and proved end to end on a Prometheus
# server that scrapes the node exporter's textfile collector.
command -v promtool >/dev/null 2>&1 || need="$need prometheus"
command -v prometheus-node-exporter >/dev/null 2>&1 || need="$need prometheus-node-exporter"
[ -n "$need" ] || exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
case "$need" in
*i386*) dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386 ;;
esac
$SUDO apt-get update -qq
# The packages' own services must not start: the tests run their servers on loopback ports
# of their own. A policy-rc.d that refuses keeps the packages' scripts from starting them.
case "$need" in
*prometheus*)
    if [ ! -e /usr/sbin/policy-rc.d ]; then
        printf '#!/bin/sh\nexit 101\n' | $SUDO tee /usr/sbin/policy-rc.d >/dev/null
        $SUDO chmod 755 /usr/sbin/policy-rc.d
        trap '$SUDO rm -f /usr/sbin/policy-rc.d' EXIT
    fi
    ;;
esac
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $need
