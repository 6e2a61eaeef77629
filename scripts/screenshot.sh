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
tmp=$(mktemp -d)
xvfb_pid=""
pid=""
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

export HOME="$tmp" XDG_DATA_HOME="$tmp/data" XDG_CACHE_HOME="$tmp/cache" XDG_RUNTIME_DIR="$tmp/run"
export TUNORA_AUDIO_SINK="fakesink sync=true" TUNORA_TRACE=1
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
data="$XDG_DATA_HOME/Pellan/Tunora"
mkdir -p "$data"
"$build/tunora-cli" demo "$tmp/Music" >/dev/null
for album in "$tmp"/Music/*/*/; do cp ui/qt/assets/tunora-256.png "$album/Cover.png"; done
"$build/tunora-cli" table create-song "$data/Tunora.mbf" >/dev/null
# A settings file: no first run, so no welcome dialog waits for a click.
"$build/tunora-cli" settings defaults --db "$data/Tunora.mbf" "$data/dTunora.dat"
"$build/tunora-cli" import --db "$data/Tunora.mbf" "$tmp/Music/" >/dev/null

exec 3>"$tmp/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$tmp/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

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
