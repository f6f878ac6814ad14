#!/usr/bin/env bash
# Takes docs/screenshot-zoom.png and docs/screenshot-recent.png: under Xvfb the
# program opens data/sample.png, zooms in to 300 % with the Size menu open,
# and shows the File menu's recent files. Usage: scripts/screenshot-menus.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CALMORA_BUILD_DIR:-$root/build}
sample=$root/data/sample.png

[ -f "$sample" ] || { echo "screenshot-menus: $sample is missing" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "screenshot-menus: xvfb-run is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
if [ ! -x "$build/bin/calmora-menu-shot" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target calmora-menu-shot -j "$(nproc)"
fi
mkdir -p "$root/docs"
for shot in "size zoom" "file recent"; do
  set -- $shot
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" \
    "$build/bin/calmora-menu-shot" "$sample" "$root/docs/screenshot-$2.png" "$1"
  echo "Screenshot written to $root/docs/screenshot-$2.png"
done
