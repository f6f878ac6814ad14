#!/usr/bin/env bash
# check_package.sh CPACK BUILD WORK SAMPLE gui|nogui
# Makes the Debian package of BUILD with CPack, installs it with dpkg into a
# fresh root under WORK, runs the installed programs from there, and removes
# it again: nothing of it may be left behind. Exits 77 (skipped) on a machine
# without dpkg's tools.
set -euo pipefail
cpack=$1 build=$2 work=$3 sample=$4 gui=$5

for tool in dpkg dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
source "$(dirname "$0")/open_with.sh"

rm -rf "$work"
mkdir -p "$work/out"
if ! (cd "$work" && "$cpack" -G DEB -B "$work/out" --config "$build/CPackConfig.cmake") >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack could not make the package" >&2
  exit 1
fi
deb=$(ls "$work"/out/calmora_*_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { cat "$work/cpack.log" >&2; echo "FAIL: no calmora_<version>_<arch>.deb was made" >&2; exit 1; }
arch=$(dpkg --print-architecture)
version=$(dpkg-deb --field "$deb" Version)
[ "$(basename "$deb")" = "calmora_${version}_${arch}.deb" ] || fail "the package is named $(basename "$deb")"

# Dependencies come from the libraries the programs link, not from a list.
depends=$(dpkg-deb --field "$deb" Depends)
needed=(libc6 libstdc++6 libfreeimage3)
[ "$gui" = gui ] && needed+=(libqt6widgets6 libqt6gui6 libqt6core6)
for package in "${needed[@]}"; do
  case ", $depends," in
    *", $package "*|*", $package,"*) ;;
    *) fail "the package does not depend on $package (Depends: $depends)" ;;
  esac
done

contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}' | sed 's|^\./|/|')
has() { printf '%s\n' "$contents" | grep -qx -- "$1" || fail "the package lacks $1"; }
has /usr/bin/calmora-denoise
has "$(printf '%s\n' "$contents" | grep -m1 '/libKcDenoise\.so$' || echo /usr/lib/libKcDenoise.so)"
has /usr/include/KcDenoise.h
has /usr/share/man/man1/calmora-denoise.1.gz
has /usr/share/doc/calmora/copyright
has /usr/share/doc/calmora/changelog.gz
if [ "$gui" = gui ]; then
  id=io.github.calmora.Calmora
  has /usr/bin/calmora
  has /usr/share/calmora/CmHelp/index.html
  has /usr/share/calmora/CmHelp/index_eng.html
  has /usr/share/applications/$id.desktop
  has /usr/share/metainfo/$id.metainfo.xml
  has /usr/share/icons/hicolor/scalable/apps/$id.svg
  has /usr/share/icons/hicolor/48x48/apps/$id.png
  has /usr/share/man/man1/calmora.1.gz
fi

# No maintainer scripts: the loader's cache is refreshed by libc's ldconfig
# trigger, and a package without a postrm is gone from dpkg's records once
# removed, without a purge.
scripts=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's|^\./||' | grep -xE 'preinst|postinst|prerm|postrm' || true)
[ -z "$scripts" ] || fail "the package has maintainer scripts: $(echo $scripts)"
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./triggers 2>/dev/null | grep -qx 'activate-noawait ldconfig' ||
  fail "the package does not activate the ldconfig trigger"

# Debian's own checks, where lintian is installed (scripts/package.sh installs
# it): an error fails, warnings are shown.
if command -v lintian >/dev/null; then
  if ! lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1; then
    cat "$work/lintian.log" >&2
    fail "lintian found errors in the package"
  else
    grep -E '^[WE]:' "$work/lintian.log" | sed 's/^/lintian: /' || true
  fi
fi

# A root of its own with an empty package database. The dependencies are on
# the machine itself, not in that root, so dpkg is told not to look for them.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg_root() { dpkg --root="$root" --log=/dev/null --force-depends --force-not-root "$@"; }
if ! dpkg_root --install "$deb" >"$work/dpkg-install.log" 2>&1; then
  cat "$work/dpkg-install.log" >&2
  echo "FAIL: dpkg could not install the package" >&2
  exit 1
fi
[ "$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status}' calmora)" = "install ok installed" ] ||
  fail "dpkg does not list calmora as installed"

unset LD_LIBRARY_PATH
found=$(ldd "$root/usr/bin/calmora-denoise" | awk '$1 == "libKcDenoise.so" { print $3 }')
case $found in
  "$root"/*) ;;
  *) fail "the installed batch tool loads libKcDenoise.so from '$found', not from the package" ;;
esac
out=$work/sample-denoised.png
if "$root/usr/bin/calmora-denoise" --quiet -s 12 -r 3 -o "$out" "$sample" 2>"$work/denoise.log"; then
  [ "$(head -c 8 "$out" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] ||
    fail "the installed batch tool wrote no PNG"
  cmp -s "$out" "$sample" && fail "the installed batch tool copied the sample unchanged"
else
  cat "$work/denoise.log" >&2
  fail "the installed batch tool failed on the sample"
fi

# The installed program, started as "Open with" starts it, comes up with the
# picture and stays up until it is ended; it keeps its settings in the user's
# folder and writes nothing into the package's folders.
if [ "$gui" = gui ]; then
  mkdir -p "$work/home" "$work/photos"
  cp "$sample" "$work/photos/sample.png"
  start_like_open_with "$root/usr/bin/calmora" "$work/photos/sample.png" "$work/home" \
    "$work/calmora.log" 6
  remembers_folder "$work/home" "$work/photos" ||
    fail "the installed calmora did not open the picture or did not remember its folder in ~/.config/calmora"
fi

# What dpkg installed is exactly what it removes: nothing else may have
# appeared in the package's folders, and removing it (no purge) leaves the
# root empty.
dpkg-query --admindir="$root/var/lib/dpkg" -L calmora | sort >"$work/listed"
(cd "$root" && find usr -mindepth 0 | sed 's|^|/|' | sort) >"$work/present"
extra=$(comm -13 "$work/listed" "$work/present")
[ -z "$extra" ] || fail "files appeared beside the package's: $extra"
if ! dpkg_root --remove calmora >"$work/dpkg-remove.log" 2>&1; then
  cat "$work/dpkg-remove.log" >&2
  fail "dpkg could not remove the package"
fi
status=$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${db:Status-Status}' calmora 2>/dev/null || true)
[ -z "$status" ] || [ "$status" = not-installed ] ||
  fail "after removal dpkg still records calmora as '$status'"
left=$(cd "$root" && find . -mindepth 1 ! -path './var' ! -path './var/lib' ! -path './var/lib/dpkg' \
  ! -path './var/lib/dpkg/*')
[ -z "$left" ] || fail "removing the package left: $left"
ls "$root/var/lib/dpkg/info" | grep -q '^calmora\.' && fail "dpkg still holds calmora's lists"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
rm -rf "$work"
echo "$(basename "$deb"): built, installed, run and removed; every check passed"
