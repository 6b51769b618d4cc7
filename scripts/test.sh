#!/usr/bin/env bash
# Installs what is missing, builds from scratch and runs every test: first the
# normal build, then the same suite under AddressSanitizer + UndefinedBehaviorSanitizer
# (without the desktop tier, which drives the built program in an X server).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake --preset dev
cmake --build --preset dev -j "$jobs"
# The desktop tier (label desktop) runs here too: each road starts its own
# Xvfb, openbox and the program, whatever QT_QPA_PLATFORM says.
ctest --preset dev -j "$jobs"

cmake --preset asan
cmake --build --preset asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --preset asan -j "$jobs" -LE desktop
