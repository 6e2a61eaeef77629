#!/usr/bin/env bash
# Plays music: imports ~/Music, or the folder named, into the library in the data directory,
# falls back to 30 generated demo songs when there is no music, and starts the window (tunora),
# playing at once; with --terminal it plays in the terminal instead ("tunora-cli play" with
# "Auto Rate" on).
# Usage: scripts/run.sh [--terminal] [MUSIC_FOLDER]   (BUILD_DIR=... picks the build folder;
# TUNORA_AUDIO_SINK names another GStreamer sink, e.g. "fakesink sync=true")
set -euo pipefail
terminal=0
if [ "${1:-}" = "--terminal" ]; then
  terminal=1
  shift
fi
music="${1:-$HOME/Music}"
[ -d "$music" ] && music="$(cd "$music" && pwd)"
cd "$(dirname "$0")/.."

cli="${BUILD_DIR:-build}/tunora-cli"
if [ ! -x "$cli" ]; then
  echo "run.sh: $cli not found; build first with scripts/setup.sh" >&2
  exit 1
fi
data_dir="${XDG_DATA_HOME:-$HOME/.local/share}/Pellan/Tunora"
mkdir -p "$data_dir"
db="$data_dir/Tunora.mbf"
settings="$data_dir/dTunora.dat"

[ -f "$db" ] || "$cli" table create-song "$db" >/dev/null
has_music() {
  [ -d "$1" ] && find "$1" -type f \( -iname '*.mp3' -o -iname '*.wav' -o -iname '*.mid' \
    -o -iname '*.midi' -o -iname '*.wma' -o -iname '*.asf' -o -iname '*.avi' -o -iname '*.mpg' \
    -o -iname '*.mpeg' -o -iname '*.wmv' \) -print -quit | grep -q .
}
if has_music "$music"; then
  echo "Importing $music ..."
  "$cli" import --db "$db" "$music/"
else
  echo "No music in $music: using generated demo songs."
  demo="$data_dir/Demo Songs"
  [ -d "$demo" ] || "$cli" demo "$demo"
  "$cli" import --db "$db" "$demo/"
fi
if [ "$terminal" = 1 ] || [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  [ "$terminal" = 1 ] || echo "No display: playing in the terminal."
  exec "$cli" play --settings "$settings" --db "$db" --auto-rate
fi
exec "${BUILD_DIR:-build}/tunora" s
