#!/usr/bin/env bash
# cmake --install into a scratch prefix: every file where the programs and the desktop look for
# it, the icons at the sizes their folders name, the program-directory files unchanged, and the
# desktop entry and metainfo accepted by their validators (when those are installed).
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1
source=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/usr
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi

for file in bin/tunora bin/tunora-cli; do
  [ -x "$prefix/$file" ] || fail "$file missing or not executable"
done
for file in ToolBar.bmp ToolBar@2x.bmp ReadMe.htm DefSet.txt; do
  cmp -s "$source/ui/qt/assets/$file" "$prefix/share/tunora/$file" ||
    fail "share/tunora/$file differs from the shipped file"
done
# The default cover picture: a BMP the cover search finds by its name.
[ "$(head -c 2 "$prefix/share/tunora/Cover.bmp" 2>/dev/null)" = "BM" ] ||
  fail "share/tunora/Cover.bmp is not a BMP"
# Nothing but programs in bin/: a DefSet.txt or ToolBar.bmp there would make bin/ the program
# directory.
extra=$(ls "$prefix/bin" | grep -v -x -e tunora -e tunora-cli)
[ -z "$extra" ] || fail "unexpected files in bin/: $extra"

for file in share/applications/org.pellan.Tunora.desktop \
            share/metainfo/org.pellan.Tunora.metainfo.xml \
            share/icons/hicolor/scalable/apps/tunora.svg \
            share/man/man1/tunora.1.gz share/man/man1/tunora-cli.1.gz \
            share/bash-completion/completions/tunora-cli share/doc/tunora/copyright \
            share/doc/tunora/changelog.gz; do
  [ -s "$prefix/$file" ] || fail "$file missing"
done

# Each PNG's IHDR width and height match its folder's size.
for size in 16 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/tunora.png
  if [ ! -s "$png" ]; then fail "icon ${size}x${size} missing"; continue; fi
  read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
    awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [ "$width" = "$size" ] && [ "$height" = "$size" ] ||
    fail "icon in ${size}x${size} is ${width}x${height}"
done

desktop=$prefix/share/applications/org.pellan.Tunora.desktop
grep -q -x 'Exec=tunora %F' "$desktop" || fail "Exec line"
for type in audio/mpeg audio/x-wav audio/midi audio/x-ms-wma video/x-ms-asf video/x-msvideo \
            video/mpeg video/x-ms-wmv audio/x-mpegurl; do
  grep -q "^MimeType=.*$type;" "$desktop" || fail "MimeType lacks $type"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
else
  echo "note: desktop-file-validate not installed, not run"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/org.pellan.Tunora.metainfo.xml" ||
    fail "appstreamcli validate"
else
  echo "note: appstreamcli not installed, not run"
fi
if command -v groff >/dev/null; then
  for page in tunora tunora-cli; do
    warnings=$(zcat "$prefix/share/man/man1/$page.1.gz" | groff -man -ww -z 2>&1)
    [ -z "$warnings" ] || fail "man page $page: $warnings"
  done
fi

[ $failures -eq 0 ] || exit 1
echo "install layout ok"
