#!/usr/bin/env bash
# check_install.sh CMAKE BUILD PREFIX BINDIR LIBDIR DATADIR INCLUDEDIR MANDIR gui|nogui
# Installs BUILD into a fresh PREFIX, checks what landed where, that the
# installed programs resolve libKcDenoise inside PREFIX through their run
# path, and that the installed batch tool denoises a picture exactly as the
# one in the build tree does.
set -euo pipefail
cmake=$1 build=$2 prefix=$3 bindir=$4 libdir=$5 datadir=$6 includedir=$7 mandir=$8 gui=$9

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
source "$(dirname "$0")/open_with.sh"
need_file() { [ -f "$prefix/$1" ] || fail "$1 was not installed"; }

rm -rf "$prefix" "$prefix.work"
mkdir -p "$prefix.work"
if ! "$cmake" --install "$build" --prefix "$prefix" >"$prefix.work/install.log" 2>&1; then
  cat "$prefix.work/install.log" >&2
  echo "FAIL: cmake --install failed" >&2
  exit 1
fi
prefix=$(cd "$prefix" && pwd -P)

need_file "$bindir/calmora-denoise"
need_file "$libdir/libKcDenoise.so"
need_file "$includedir/KcDenoise.h"
need_file "$mandir/man1/calmora-denoise.1.gz"
need_file "$datadir/doc/calmora/copyright"
programs=(calmora-denoise)
if [ "$gui" = gui ]; then
  programs+=(calmora)
  need_file "$bindir/calmora"
  need_file "$datadir/calmora/CmHelp/index.html"
  need_file "$datadir/calmora/CmHelp/index_eng.html"
  id=io.github.calmora.Calmora
  need_file "$datadir/icons/hicolor/scalable/apps/$id.svg"
  for size in 16 22 24 32 48 64 128 256; do
    icon="$prefix/$datadir/icons/hicolor/${size}x${size}/apps/$id.png"
    if [ -f "$icon" ]; then
      # A PNG header: signature, IHDR, then width and height as 32-bit big-endian.
      dims=$(od -An -tu4 --endian=big -j16 -N8 "$icon" | tr -s ' ' | sed 's/^ //')
      [ "$dims" = "$size $size" ] || fail "the ${size}x${size} icon is not $size pixels square ($dims)"
    else
      fail "$datadir/icons/hicolor/${size}x${size}/apps/$id.png was not installed"
    fi
  done
  need_file "$mandir/man1/calmora.1.gz"
  desktop="$prefix/$datadir/applications/$id.desktop"
  if [ -f "$desktop" ]; then
    grep -qx 'Exec=calmora %f' "$desktop" || fail "$id.desktop does not run 'calmora %f'"
    grep -qx "Icon=$id" "$desktop" || fail "$id.desktop does not name the icon"
    for type in image/jpeg image/png image/bmp image/tiff image/gif; do
      grep -q "^MimeType=.*$type;" "$desktop" || fail "$id.desktop does not offer to open $type"
    done
    for word in denoise noise photo; do
      grep -q "^Keywords=\(.*;\)\?$word;" "$desktop" || fail "$id.desktop lacks the keyword $word"
    done
    grep -q '^Name\[it\]=' "$desktop" || fail "$id.desktop has no Italian name"
    grep -q '^Keywords\[it\]=' "$desktop" || fail "$id.desktop has no Italian keywords"
    # Debian's desktop-file-utils (scripts/install-deps.sh) knows the rules menus go by.
    if command -v desktop-file-validate >/dev/null; then
      desktop-file-validate "$desktop" >&2 || fail "$id.desktop does not validate"
    else
      fail "desktop-file-validate is missing (scripts/install-deps.sh installs desktop-file-utils)"
    fi
  else
    fail "$datadir/applications/$id.desktop was not installed"
  fi
  metainfo="$prefix/$datadir/metainfo/$id.metainfo.xml"
  if [ -f "$metainfo" ]; then
    # What software centres read: appstream (scripts/install-deps.sh) checks it
    # offline; every issue but the pedantic ones fails.
    if command -v appstreamcli >/dev/null; then
      appstreamcli validate --no-net --strict "$metainfo" >&2 || fail "$id.metainfo.xml does not validate"
    else
      fail "appstreamcli is missing (scripts/install-deps.sh installs appstream)"
    fi
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
      fail "$id.metainfo.xml does not launch $id.desktop"
    grep -q '<p xml:lang="it">' "$metainfo" || fail "$id.metainfo.xml has no Italian description"
    for shot in screenshot-main.png screenshot-dialog.png; do
      grep -q "<image>.*/$shot</image>" "$metainfo" || fail "$id.metainfo.xml does not show $shot"
    done
  else
    fail "$datadir/metainfo/$id.metainfo.xml was not installed"
  fi
  # The program looks for its help pages in ../share/calmora/CmHelp.
  [ "$datadir" = share ] || fail "data folder '$datadir' is not the share folder the program looks in"
fi

# Nothing from the environment may help the loader find the library.
unset LD_LIBRARY_PATH
for program in "${programs[@]}"; do
  binary="$prefix/$bindir/$program"
  [ -x "$binary" ] || continue
  runpath=$(readelf -d "$binary" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  case ":$runpath:" in
    *":\$ORIGIN/../$libdir:"*) ;;
    *) fail "$program has run path '$runpath', not \$ORIGIN/../$libdir" ;;
  esac
  found=$(ldd "$binary" | awk '$1 == "libKcDenoise.so" { print $3 }')
  if [ -z "$found" ] || [ "$found" = "not" ]; then
    fail "$program does not find libKcDenoise.so"
  else
    found=$(realpath "$found")
    [ "$found" = "$prefix/$libdir/libKcDenoise.so" ] ||
      fail "$program loads $found instead of the installed library"
  fi
done

# A noisy 48x32 picture written by hand as a 24-bit BMP (rows of 144 bytes).
le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))\\x$(printf %02x $(($1 >> 16 & 255)))\\x$(printf %02x $(($1 >> 24 & 255)))"; }
picture="$prefix.work/noisy.bmp"
{
  printf 'BM'; le32 $((54 + 144 * 32)); le32 0; le32 54
  le32 40; le32 48; le32 32; printf '\x01\x00\x18\x00'; le32 0; le32 $((144 * 32)); le32 2835; le32 2835; le32 0; le32 0
  head -c $((144 * 32)) /dev/urandom
} >"$picture"

installed_out="$prefix.work/installed.bmp"
built_out="$prefix.work/built.bmp"
if "$prefix/$bindir/calmora-denoise" --quiet -s 40 -r 2 -o "$installed_out" "$picture"; then
  [ "$(head -c 2 "$installed_out")" = BM ] || fail "the installed batch tool wrote no BMP"
  cmp -s <(tail -c +55 "$installed_out") <(tail -c +55 "$picture") &&
    fail "the installed batch tool left the noisy picture unchanged"
  if "$build/bin/calmora-denoise" --quiet -s 40 -r 2 -o "$built_out" "$picture"; then
    cmp -s "$installed_out" "$built_out" ||
      fail "the installed batch tool's result differs from the build tree's"
  else
    fail "the built batch tool failed on the test picture"
  fi
else
  fail "the installed batch tool failed on the test picture"
fi

# The installed window program, started as "Open with" starts it, must come up
# with the picture and keep running; it remembers the picture's folder as it
# opens it. It stops itself only when closed, so it is ended after a while.
if [ "$gui" = gui ] && [ -x "$prefix/$bindir/calmora" ]; then
  folder="$prefix.work/photos è"
  mkdir -p "$folder" "$prefix.work/home"
  cp "$picture" "$folder/noisy photo.bmp"
  start_like_open_with "$prefix/$bindir/calmora" "$folder/noisy photo.bmp" "$prefix.work/home" \
    "$prefix.work/calmora.log" 3
  # An installed copy keeps its settings in the user's folder, whatever prefix
  # the build was configured with, even where it could write beside itself.
  remembers_folder "$prefix.work/home" "$folder" ||
    fail "the installed calmora did not open the picture named on its command line"
  left=$(find "$prefix/$bindir" -mindepth 1 ! -name calmora ! -name calmora-denoise)
  [ -z "$left" ] || fail "the installed calmora wrote beside itself: $left"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
rm -rf "$prefix.work"
echo "installed into $prefix: every check passed"
