#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test Calmora, and
# any further packages named on the command line.
set -euo pipefail
PACKAGES=(
  build-essential cmake ninja-build lld pkg-config
  qt6-base-dev libfreeimage-dev libjpeg-dev zlib1g-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth x11-apps imagemagick
  desktop-file-utils appstream groff-base file
  "$@"
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "install-deps: packages are missing and there is no sudo; as root run: apt-get update && apt-get install ${missing[*]}" >&2
    exit 1
  fi
  SUDO="sudo"
fi
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
