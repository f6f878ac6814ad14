#!/usr/bin/env bash
# Installs what is needed, builds, fetches the test images and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CALMORA_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
if [ -x "$root/scripts/fetch-test-data.sh" ]; then
  "$root/scripts/fetch-test-data.sh" "$build/testdata"
fi
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" --timeout 300
