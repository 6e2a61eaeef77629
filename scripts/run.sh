#!/usr/bin/env bash
# Plays music: imports the folder named, or ~/Music, into the library in the data directory and
# starts the window (tunora), playing at once; with --terminal, or without a display, it plays in
# the terminal instead ("tunora-cli play" with "Auto Rate" on). Generated demo songs are used only
# while the library holds no music of yours: importing real music into a library of demo songs
# starts the library afresh without them.
set -euo pipefail

usage() {
  cat <<'EOF'
Usage: scripts/run.sh [--terminal] [MUSIC_FOLDER]
       scripts/run.sh --help

Imports MUSIC_FOLDER (with all its subfolders) into the Tunora library and plays the library.
Without a folder: imports ~/Music when it holds music; when neither it nor the library holds
any, plays 30 generated demo songs. A folder that is named but missing or holds no media files
is an error. The list builder needs at least 20 songs. The window opens and plays at once;
--terminal (or no display) plays in the terminal instead.

The library, the settings and the play lists live in
  ${XDG_DATA_HOME:-~/.local/share}/Pellan/Tunora/
(Tunora.mbf, dTunora.dat, PL1.m3u ... PL10.m3u); remove that folder to start afresh.

Environment: BUILD_DIR picks the build folder (default build); TUNORA_AUDIO_SINK names another
GStreamer sink, e.g. "fakesink sync=true"; TUNORA_RUN_PREPARE_ONLY=1 stops before playing.
EOF
}

media_pattern=(\( -iname '*.mp3' -o -iname '*.wav' -o -iname '*.mid' -o -iname '*.midi'
  -o -iname '*.rmi' -o -iname '*.wma' -o -iname '*.asf' -o -iname '*.avi' -o -iname '*.mpg'
  -o -iname '*.mpeg' -o -iname '*.wmv' \))
has_media() {
  [ -d "$1" ] && find "$1" -type f "${media_pattern[@]}" -print -quit | grep -q .
}

named=""
terminal=0
if [ "${1:-}" = "--terminal" ]; then
  terminal=1
  shift
fi
case "${1:-}" in
  -h|--help) usage; exit 0 ;;
  -*) echo "run.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
  "") ;;
  *) named="$1" ;;
esac
if [ $# -gt 1 ]; then
  echo "run.sh: one music folder at most (try --help)" >&2
  exit 2
fi
if [ -n "$named" ]; then
  if [ ! -d "$named" ]; then
    echo "run.sh: no such folder: $named (check its name; scripts/run.sh --help)" >&2
    exit 1
  fi
  if ! has_media "$named"; then
    echo "run.sh: no media files (mp3, wav, mid, wma, asf, avi, mpg, wmv) in $named;" \
         "name the folder that holds your music (scripts/run.sh --help)" >&2
    exit 1
  fi
  named="$(cd "$named" && pwd)"
fi

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
demo="$data_dir/Demo Songs"

[ -f "$db" ] || "$cli" table create-song "$db" >/dev/null
# The songs of the library, one JSON line each (slot 0 is the blank record, not a song).
songs() { "$cli" table dump "$db" | tail -n +2 | grep -v '^{"slot":0,' || true; }
only_demo_songs() {
  local all
  all="$(songs)"
  [ -n "$all" ] && ! grep -v -F "\"fields\":[\"$demo/" <<<"$all" | grep -q .
}

music="$named"
if [ -z "$music" ] && has_media "$HOME/Music"; then music="$HOME/Music"; fi
if [ -n "$music" ]; then
  if only_demo_songs; then
    echo "Taking the demo songs out of the library before importing $music."
    "$cli" table create-song --force "$db" >/dev/null
    rm -f "$data_dir"/PL*.m3u
  fi
  echo "Importing $music ..."
  "$cli" import --db "$db" "$music/"
elif [ -z "$(songs)" ]; then
  echo "No music in ~/Music and none in the library: using generated demo songs" \
       "(scripts/run.sh FOLDER imports yours instead)."
  [ -d "$demo" ] || "$cli" demo "$demo"
  "$cli" import --db "$db" "$demo/"
fi
[ "${TUNORA_RUN_PREPARE_ONLY:-0}" = 1 ] && exit 0
if [ "$terminal" = 1 ] || [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  [ "$terminal" = 1 ] || echo "No display: playing in the terminal."
  exec "$cli" play --settings "$settings" --db "$db" --auto-rate
fi
exec "${BUILD_DIR:-build}/tunora" s
