#!/usr/bin/env bash
# Installs what is needed, builds, and runs the main job.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CALMORA_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
if [ -x "$build/bin/calmora" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/bin/calmora" "$@"
fi
out="$build/sample-denoised.png"
"$build/bin/calmora-denoise" --intensity 12 --radius 5 --output "$out" "$root/data/sample.png"
echo "Denoised sample written to $out"
