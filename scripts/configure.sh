#!/usr/bin/env bash
# Configures a Release build in the folder $1, with any further CMake options.
# A new folder gets the Ninja generator when it is installed, which keeps both
# cores busy across the many small test programs; a folder configured before
# keeps its generator, since CMake cannot change it in place.
# Usage: scripts/configure.sh <build folder> [cmake options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
shift
generator=()
if [ ! -f "$build/CMakeCache.txt" ] && command -v ninja >/dev/null; then
  generator=(-G Ninja)
fi
cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
