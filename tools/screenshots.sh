#!/bin/sh
# Renders the desktop program's windows offscreen into build/screenshots/ (or the folder given).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${DRAVIK_BUILD:-$root/build}
out=${1:-$build/screenshots}
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target dravik-screenshots
QT_QPA_PLATFORM=offscreen "$build/src/gui/dravik-screenshots" "$out"
