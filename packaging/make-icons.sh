#!/usr/bin/env bash
# Remakes packaging/icons/calmora-<size>.png, the menu icons in the usual
# hicolor sizes, from packaging/calmora.svg. Run it after changing the SVG
# and commit the PNGs; the build installs them as they are, so it needs no
# SVG renderer. Needs rsvg-convert (package librsvg2-bin) and optipng when
# present.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
command -v rsvg-convert >/dev/null ||
  { echo "make-icons: rsvg-convert is missing (apt-get install librsvg2-bin)" >&2; exit 1; }
mkdir -p "$here/icons"
for size in 16 22 24 32 48 64 128 256; do
  out="$here/icons/calmora-$size.png"
  rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio "$here/calmora.svg" -o "$out"
  command -v optipng >/dev/null && optipng -quiet -o7 -strip all "$out"
  echo "make-icons: $out"
done
