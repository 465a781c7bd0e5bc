#!/bin/sh
# Builds the native tier (logic, simulated board, unit tests, benchmarks) and the Windows
# program, lays out the installation tree in build/install (a drive-C layout), and makes the
# packages for terminals in build/win32/packages (the MSI and the portable zip).
set -eu
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset native >/dev/null
cmake --build build/native -j "$jobs"
cmake --preset win32 >/dev/null
cmake --build build/win32 -j "$jobs"
rm -rf build/install
cmake --install build/win32 --prefix build/install >/dev/null
cmake --build build/win32 --target zip >/dev/null
