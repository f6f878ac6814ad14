#!/usr/bin/env bash
# Takes docs/screenshot-zoom.png and docs/screenshot-recent.png: under Xvfb the
# program opens data/sample.png, zooms in to 300 % with the Size menu open,
# and shows the File menu's recent files. Usage: scripts/screenshot-menus.sh
set -euo pipefail
source "$(dirname "$0")/screenshot-tool.sh" calmora-menu-shot
mkdir -p "$root/docs"
for shot in "size zoom" "file recent"; do
  set -- $shot
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" \
    "$build/bin/calmora-menu-shot" "$sample" "$root/docs/screenshot-$2.png" "$1"
  echo "Screenshot written to $root/docs/screenshot-$2.png"
done
