#!/usr/bin/env bash
# Takes docs/screenshot-dialog.png: under Xvfb the program opens data/sample.png,
# opens the denoise dialog, raises the intensity, selects the preview area and
# previews it. Usage: scripts/screenshot-dialog.sh [output.png]
set -euo pipefail
source "$(dirname "$0")/screenshot-tool.sh" calmora-dialog-shot
output=${1:-$root/docs/screenshot-dialog.png}
mkdir -p "$(dirname "$output")"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" \
  "$build/bin/calmora-dialog-shot" "$sample" "$output"
echo "Screenshot written to $output"
