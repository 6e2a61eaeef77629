#!/usr/bin/env bash
# The installed program end to end, as a new user meets it: `cmake --install` into a temporary
# prefix (and, where cpack and dpkg-deb are present, the Debian package unpacked with
# dpkg-deb -x), then the installed tunora on Xvfb, on the session bus of dbus-run-session, with 30
# demo songs and a silent sink. In each layout: the window appears and a song plays (MPRIS
# PlaybackStatus "Playing"); a second start ends and leaves one MPRIS name; an MP3 file handed
# to a second start plays (MPRIS xesam:url); a path that names nothing gets a message and changes
# nothing; --help and --version print without a window; the quit ends the program. Every wait is
# bounded, generously so that a loaded machine passes; the times taken are printed, not judged
# (a quiet machine takes well under a second for each).
# Usage: dbus-run-session -- installed_program_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
command -v gdbus >/dev/null || { echo "skip: gdbus not installed"; exit 77; }
command -v xwininfo >/dev/null || { echo "skip: xwininfo not installed"; exit 77; }
[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || { echo "skip: no session bus"; exit 77; }
# shellcheck source=tests/support/desktop_session.sh
source "$(dirname "$0")/../../support/desktop_session.sh"
make_library "$tmp/demo"
start_xvfb

# The file handed over: an MP3 the library does not hold yet.
mkdir -p "$tmp/handed"
handed=$tmp/handed/Handed_Song.mp3
if command -v ffmpeg >/dev/null; then
  ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=20" -q:a 9 "$handed" ||
    fail "ffmpeg made no MP3"
else
  handed=$tmp/handed/Handed_Song.wav
  cp "$(find "$tmp/demo" -name '*.wav' | head -1)" "$handed"
fi

name=org.mpris.MediaPlayer2.tunora
path=/org/mpris/MediaPlayer2
get() {
  gdbus call --session --dest $name --object-path $path \
    --method org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2.Player "$1" 2>/dev/null
}
# wait_for SECONDS COMMAND... : until the command succeeds, at most SECONDS.
wait_for() {
  local limit=$(($1 * 10)); shift
  for _ in $(seq $limit); do
    "$@" && return 0
    kill -0 "$pid" 2>/dev/null || fail "tunora ended early"
    sleep 0.1
  done
  return 1
}
playing() { get PlaybackStatus | grep -q "'Playing'"; }
plays_handed() { get Metadata | grep -q "'xesam:url': <'file://$handed'>"; }
window_up() { xwininfo -root -tree 2>/dev/null | grep -q '"Tunora"'; }
mpris_names() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.ListNames | grep -o "$name[^']*" | wc -l
}
now_ms() { date +%s%3N; }

# try_layout WHAT TUNORA: the checks above on the program file TUNORA.
try_layout() {
  local what=$1 tunora=$2 start elapsed status
  [ -x "$tunora" ] || fail "$what: no $tunora"
  [ -f "$(dirname "$tunora")/ToolBar.bmp" ] && fail "$what: the toolbar lies beside the program"
  "$tunora" --version | grep -q "^Tunora " || fail "$what: --version"
  "$tunora" --help | grep -q "^Usage: tunora" || fail "$what: --help"

  "$tunora" s 2>"$tmp/trace.log" &
  pid=$!
  wait_for 60 window_up || fail "$what: no window"
  wait_for 60 playing || fail "$what: never Playing"

  # A second start: it raises the running window and ends; one player, one name.
  start=$(now_ms)
  status=0
  timeout 20 "$tunora" 2>"$tmp/second.log" || status=$?
  elapsed=$(($(now_ms) - start))
  [ "$status" = 0 ] || fail "$what: the second start ended with $status: $(cat "$tmp/second.log")"
  [ "$(mpris_names)" = 1 ] || fail "$what: $(mpris_names) MPRIS names"
  kill -0 "$pid" || fail "$what: the first player ended"
  echo "$what: a second start ended after $elapsed ms"

  # A path that names nothing: a message, and the player goes on as it was.
  status=0
  timeout 20 "$tunora" "$tmp/no such song.mp3" 2>"$tmp/bad.log" || status=$?
  [ "$status" = 1 ] || fail "$what: a missing file ended with $status"
  grep -q "not a media file, playlist or folder" "$tmp/bad.log" || fail "$what: no message"

  # A file handed to a second start plays.
  start=$(now_ms)
  status=0
  timeout 20 "$tunora" "$handed" 2>"$tmp/hand.log" || status=$?
  [ "$status" = 0 ] || fail "$what: the hand-over ended with $status: $(cat "$tmp/hand.log")"
  local ended=$(($(now_ms) - start))
  wait_for 30 plays_handed || fail "$what: the handed file did not play: $(get Metadata)"
  elapsed=$(($(now_ms) - start))
  [ "$(mpris_names)" = 1 ] || fail "$what: $(mpris_names) MPRIS names after the hand-over"
  echo "$what: the handing start ended after $ended ms; the file played after $elapsed ms"

  gdbus call --session --dest $name --object-path $path --method org.mpris.MediaPlayer2.Quit \
    >/dev/null || fail "$what: Quit failed"
  expect_exit 60 0 "Quit"
}

cmake --install "$build" --prefix "$tmp/prefix" >"$tmp/install.log" || fail "cmake --install"
try_layout "installed prefix" "$tmp/prefix/bin/tunora"

if command -v cpack >/dev/null && command -v dpkg-deb >/dev/null &&
   command -v dpkg-shlibdeps >/dev/null; then
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/deb" >"$tmp/cpack.log" 2>&1 ||
    { cat "$tmp/cpack.log"; fail "cpack"; }
  dpkg-deb -x "$(ls "$tmp"/deb/tunora_*.deb)" "$tmp/unpacked" || fail "dpkg-deb -x"
  try_layout "unpacked package" "$tmp/unpacked/usr/bin/tunora"
else
  echo "skip: the Debian package (cpack or dpkg-deb missing)"
fi
echo "tunora: the installed program starts, plays, stays one player and takes files handed over"
