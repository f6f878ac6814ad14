#!/usr/bin/env bash
# Installs what is needed, builds the program and the batch tool (no tests,
# no benchmarks) and runs the program, or the batch tool on the sample when
# there is no display. scripts/test.sh builds and tests everything.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CALMORA_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
echo "run: configuring $build"
"$root/scripts/configure.sh" "$build"
echo "run: building calmora and calmora-denoise in $build"
cmake --build "$build" -j "$(nproc)" --target calmora calmora-denoise
echo "run: built $build/bin/calmora and $build/bin/calmora-denoise"
if [ -x "$build/bin/calmora" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/bin/calmora" "$@"
fi
out="$build/sample-denoised.png"
"$build/bin/calmora-denoise" --intensity 12 --radius 5 --output "$out" "$root/data/sample.png"
echo "Denoised sample written to $out (no display for the window program)"
