#!/usr/bin/env bash
# Takes docs/screenshot-dialog.png: under Xvfb the program opens data/sample.png,
# opens the denoise dialog, raises the intensity, selects the preview area and
# previews it. Usage: scripts/screenshot-dialog.sh [output.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CALMORA_BUILD_DIR:-$root/build}
output=${1:-$root/docs/screenshot-dialog.png}
sample=$root/data/sample.png

[ -f "$sample" ] || { echo "screenshot-dialog: $sample is missing" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "screenshot-dialog: xvfb-run is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
if [ ! -x "$build/bin/calmora-dialog-shot" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target calmora-dialog-shot -j "$(nproc)"
fi
mkdir -p "$(dirname "$output")"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" \
  "$build/bin/calmora-dialog-shot" "$sample" "$output"
echo "Screenshot written to $output"
