#!/usr/bin/env bash
# cpack -G DEB from the build tree, then the package's file list (dpkg-deb -c) and control fields
# (dpkg-deb -f): the programs, the program directory, the desktop files, the dependencies the
# programs load at run time; the unpacked tunora-cli runs; and lintian reports no error.
# Usage: package_test.sh BUILD_DIR
set -uo pipefail
build=$1
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v $tool >/dev/null || { echo "skip: $tool not installed"; exit 77; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"
  echo "FAIL: cpack"
  exit 1
fi
arch=$(dpkg --print-architecture)
deb=$scratch/out/tunora_1.9_$arch.deb
[ -f "$deb" ] || { ls "$scratch/out"; echo "FAIL: no $deb"; exit 1; }

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's/ ->.*//' >"$scratch/files"
for file in ./usr/bin/tunora ./usr/bin/tunora-cli \
            ./usr/share/tunora/ToolBar.bmp ./usr/share/tunora/ToolBar@2x.bmp \
            ./usr/share/tunora/ReadMe.htm ./usr/share/tunora/DefSet.txt \
            ./usr/share/tunora/Cover.bmp \
            ./usr/share/applications/org.pellan.Tunora.desktop \
            ./usr/share/metainfo/org.pellan.Tunora.metainfo.xml \
            ./usr/share/icons/hicolor/16x16/apps/tunora.png \
            ./usr/share/icons/hicolor/256x256/apps/tunora.png \
            ./usr/share/icons/hicolor/scalable/apps/tunora.svg \
            ./usr/share/man/man1/tunora.1.gz ./usr/share/man/man1/tunora-cli.1.gz \
            ./usr/share/doc/tunora/copyright ./usr/share/doc/tunora/changelog.gz \
            ./usr/share/bash-completion/completions/tunora-cli; do
  grep -q -x -F "$file" "$scratch/files" || fail "package lacks $file"
done
outside=$(grep -v -e '^\./usr/' -e '^\./$' "$scratch/files")
[ -z "$outside" ] || fail "files outside /usr: $outside"
dpkg-deb -c "$deb" | awk '$6 == "./usr/bin/tunora" || $6 == "./usr/bin/tunora-cli" {print $1}' |
  grep -q -v '^-rwxr-xr-x' && fail "a program is not mode 755"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tunora ] || fail "Package: $(field Package)"
[ "$(field Version)" = 1.9 ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = sound ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
for dep in libqt6widgets6 libqt6dbus6 libgstreamer1.0-0 gstreamer1.0-plugins-base \
           gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly \
           gstreamer1.0-libav timgm6mb-soundfont qt6-qpa-plugins fonts-liberation2; do
  [[ ", $depends" == *", $dep"* || "$depends" == *"| $dep"* ]] || fail "Depends lacks $dep: $depends"
done

# The unpacked command-line program runs from its package layout.
dpkg-deb -x "$deb" "$scratch/root"
"$scratch/root/usr/bin/tunora-cli" help >"$scratch/help" 2>&1 || fail "unpacked tunora-cli help"
grep -q "tunora-cli import" "$scratch/help" || fail "unpacked tunora-cli lists no commands"

# lintian finds no errors (warnings and notes are not checked). A build that does not strip its
# package (the ThreadSanitizer build keeps the symbols its reports are matched by) ships its
# programs unstripped on purpose.
if command -v lintian >/dev/null; then
  keep=()
  grep -q 'CPACK_STRIP_FILES "ON"' "$build/CPackConfig.cmake" ||
    keep=(--suppress-tags unstripped-binary-or-object)
  lintian --no-tag-display-limit "${keep[@]}" "$deb" >"$scratch/lintian" 2>&1 || true
  errors=$(grep '^E: ' "$scratch/lintian" || true)
  [ -z "$errors" ] || fail "lintian errors: $errors"
else
  echo "note: lintian not installed, not run"
fi

[ $failures -eq 0 ] || exit 1
echo "package ok: $(basename "$deb"), $(wc -l <"$scratch/files") entries"
