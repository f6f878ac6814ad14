#!/usr/bin/env bash
# Fetches the image files the tests read from Debian packages and unpacks
# them under <dir> (default build/testdata), one folder per package:
#   <dir>/<package>/usr/...
# Nothing is installed: `apt-get download` puts the .deb in <dir>/.debs and
# `dpkg-deb` unpacks it, so no root is needed. Running it again does nothing
# for packages already unpacked at the same version.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build/testdata}

# One package a line; "package:path" unpacks only that path of the package.
PACKAGES=(
  gdk-pixbuf-tests:./usr/libexec/installed-tests/gdk-pixbuf
  golang-1.19-src:./usr/share/go-1.19/src/image
  golang-golang-x-image-dev:./usr/share/gocode/src/golang.org/x/image
  python3-skimage:./usr/lib/python3/dist-packages/skimage/data
)

mkdir -p "$dir/.debs"
dir=$(cd "$dir" && pwd)
updated=no

download() {
  local package=$1
  (cd "$dir/.debs" && apt-get download -q "$package" >/dev/null 2>&1)
}

for entry in "${PACKAGES[@]}"; do
  package=${entry%%:*}
  subpath=.
  [[ $entry == *:* ]] && subpath=${entry#*:}
  version=$(apt-cache policy "$package" 2>/dev/null | awk '/Candidate:/ {print $2}')
  stamp="$dir/$package/.unpacked"
  if [ -n "$version" ] && [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version $subpath" ]; then
    continue
  fi
  if ! download "$package"; then
    # A machine that never read the package lists cannot name the package.
    if [ "$updated" = no ] && [ "$(id -u)" -eq 0 ]; then
      apt-get update -q >/dev/null
      updated=yes
      version=$(apt-cache policy "$package" 2>/dev/null | awk '/Candidate:/ {print $2}')
    fi
    download "$package" || { echo "fetch-test-data: cannot download $package" >&2; exit 1; }
  fi
  deb=$(ls -t "$dir/.debs/${package}_"*.deb | head -n 1)
  rm -rf "$dir/$package"
  mkdir -p "$dir/$package"
  dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$dir/$package" "$subpath"
  echo "$version $subpath" > "$stamp"
  echo "fetch-test-data: $package $version unpacked in $dir/$package"
done
