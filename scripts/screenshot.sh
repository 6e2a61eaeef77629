#!/usr/bin/env bash
# Takes docs/screenshot.png: runs the built tunora on a virtual X server with the 30 demo songs
# (each album folder given the program's icon as its Cover picture), waits until a song plays
# and its cover shows, and grabs the window.
# Usage: scripts/screenshot.sh [OUT.png]   (BUILD_DIR=... picks the build folder)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/screenshot.png}"
case "$out" in /*) ;; *) out="$(pwd)/$out" ;; esac
build="$(cd "${BUILD_DIR:-build}" && pwd)"
# shellcheck source=tests/support/desktop_session.sh
source "tests/support/desktop_session.sh"
make_library "$tmp/Music" ui/qt/assets/tunora-256.png
start_xvfb

"$build/tunora" s 2>"$tmp/trace.log" &
pid=$!
for _ in $(seq 300); do
  grep -q '^tunora: song /' "$tmp/trace.log" && grep -q 'Tunora Playing' "$tmp/trace.log" && break
  sleep 0.1
done
sleep 3  # the cover loader's tick and the repaint
geometry=$(xwininfo -root -tree | grep '"Tunora": ("tunora"' |
  sed -E 's/.* ([0-9]+)x([0-9]+)\+-?[0-9]+\+-?[0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\3 \4 \1 \2/' |
  head -1)
mkdir -p "$(dirname "$out")"
# shellcheck disable=SC2086
"$build/tunora-screen-grab" "$out" $geometry
kill -TERM "$pid"
wait "$pid" || true
pid=""
echo "saved $out"
