# Sourced by the screenshot scripts: checks that data/sample.png and xvfb-run
# are there and builds the driver named $1 when it is missing. Sets root,
# build and sample.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${CALMORA_BUILD_DIR:-$root/build}
sample=$root/data/sample.png
shot_tool=$1

[ -f "$sample" ] || { echo "$(basename "$0"): $sample is missing" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "$(basename "$0"): xvfb-run is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
if [ ! -x "$build/bin/$shot_tool" ]; then
  "$root/scripts/configure.sh" "$build"
  cmake --build "$build" --target "$shot_tool" -j "$(nproc)"
fi
