#!/usr/bin/env bash
# Installs what scripts/fuzz.sh needs beyond the normal build: clang and its
# runtime libraries (libFuzzer and the sanitizers). Run it only when you want
# to fuzz; the normal build uses g++ and does not need them.
set -euo pipefail
exec "$(dirname "$0")/install-deps.sh" clang libclang-rt-14-dev
