#!/usr/bin/env bash
# Takes docs/screenshot-main.png: the program under a virtual X server with
# data/sample.png opened. Builds the program first when it is missing.
# Usage: scripts/screenshot.sh [output.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CALMORA_BUILD_DIR:-$root/build}
out=${1:-$root/docs/screenshot-main.png}
width=1024
height=720
settle=${CALMORA_SCREENSHOT_WAIT:-4}

if [ ! -x "$build/bin/calmora" ]; then
  "$root/scripts/configure.sh" "$build"
  cmake --build "$build" --target calmora -j "$(nproc)"
fi

# The program keeps its settings beside itself when it can: run a copy from a
# scratch folder so that neither the picture nor the build's settings depend
# on an earlier run.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$build/bin/calmora" "$build/bin/libKcDenoise.so" "$stage/"
[ -d "$build/bin/CmHelp" ] && cp -r "$build/bin/CmHelp" "$stage/"
mkdir -p "$(dirname "$out")"

xvfb-run -a -s "-screen 0 ${width}x${height}x24" bash -c '
  set -e
  "$1" -geometry "$2" "$3" &
  pid=$!
  sleep "$4"
  import -window root "$5"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
' screenshot "$stage/calmora" "${width}x${height}+0+0" "$root/data/sample.png" "$settle" "$out"
echo "Screenshot written to $out"
