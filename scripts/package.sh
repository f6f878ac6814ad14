#!/usr/bin/env bash
# Builds the Debian package calmora_<version>_<arch>.deb in build-package/
# (or $CALMORA_PACKAGE_DIR) and checks it with lintian.
# Usage: scripts/package.sh
#
# The tree is configured for /usr on its own, without tests and benchmarks,
# so that the package does not depend on how build/ was configured. CPack
# makes the package from the install rules and dpkg-shlibdeps computes its
# dependencies. Install it with: sudo apt install ./build-package/calmora_*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CALMORA_PACKAGE_DIR:-$root/build-package}

"$root/scripts/install-deps.sh"
# What packaging needs beyond the build: dpkg-shlibdeps and lintian.
missing=()
for p in dpkg-dev lintian; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
  elif command -v sudo >/dev/null; then
    sudo apt-get update -q
    sudo DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
  else
    echo "package: packages are missing and there is no sudo; as root run: apt-get update && apt-get install ${missing[*]}" >&2
    exit 1
  fi
fi

echo "package: building in $build"
"$root/scripts/configure.sh" "$build" -DCMAKE_INSTALL_PREFIX=/usr \
  -DBUILD_TESTING=OFF -DCALMORA_BENCH=OFF
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/calmora_*.deb
(cd "$build" && cpack -G DEB >"$build/cpack.log" 2>&1) ||
  { cat "$build/cpack.log" >&2; echo "package: cpack failed" >&2; exit 1; }
deb=$(ls "$build"/calmora_*.deb)
echo "package: $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends | sed 's/^/  /'

# Errors fail the script; warnings and notes are shown.
echo "package: lintian"
status=0
lintian --info --display-info --fail-on error "$deb" || status=$?
[ "$status" -eq 0 ] || { echo "package: lintian found errors" >&2; exit 1; }
echo "package: done; install with: sudo apt install $deb"
