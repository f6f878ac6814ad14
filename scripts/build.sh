#!/usr/bin/env bash
# Configures and builds into build/ (or $CALMORA_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CALMORA_BUILD_DIR:-$root/build}
"$root/scripts/configure.sh" "$build"
cmake --build "$build" -j "$(nproc)"
