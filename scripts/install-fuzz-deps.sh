#!/usr/bin/env bash
# Installs what scripts/fuzz.sh needs beyond the normal build: clang and its
# runtime libraries (libFuzzer and the sanitizers). Run it only when you want
# to fuzz; the normal build uses g++ and does not need them.
set -euo pipefail
"$(dirname "$0")/install-deps.sh"
PACKAGES=(clang libclang-rt-14-dev)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
