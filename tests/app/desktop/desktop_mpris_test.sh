#!/usr/bin/env bash
# The desktop program's media controls end to end: the real tunora on Xvfb, on the session bus
# of dbus-run-session, with 30 demo songs and a silent sink, driven by gdbus as the desktop's
# media keys would: the name and both interfaces appear, Metadata names the song playing, Next
# changes it, Pause pauses, and Quit runs the program's quit (exit 0). The cover picture (a
# "Cover" picture in the data directory) reaches the desktop as a PNG file in the runtime
# directory: Metadata's mpris:artUrl names it, the mocked notification service gets it as
# "image-path", a new song gets a new file and the old one goes, and none is left after the quit.
# Every wait is bounded.
# Usage: dbus-run-session -- desktop_mpris_test.sh BUILD_DIR MPRIS_TESTS COVER_PICTURE
set -euo pipefail
build=$(cd "$1" && pwd)
mpris_tests=$2
cover_picture=$3
command -v gdbus >/dev/null || { echo "skip: gdbus not installed"; exit 77; }
[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || { echo "skip: no session bus"; exit 77; }
# shellcheck source=tests/support/desktop_session.sh
source "$(dirname "$0")/../../support/desktop_session.sh"
cp "$cover_picture" "$data/Cover.bmp"
make_library "$tmp/demo"
start_xvfb

name=org.mpris.MediaPlayer2.tunora
path=/org/mpris/MediaPlayer2
get() {
  gdbus call --session --dest $name --object-path $path \
    --method org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2.Player "$1" 2>/dev/null
}
player() {
  gdbus call --session --dest $name --object-path $path --method "org.mpris.MediaPlayer2.Player.$1" \
    >/dev/null || fail "$1 failed"
}
# wait_for COMMAND... : up to 60 s (load) until the command succeeds.
wait_for() {
  for _ in $(seq 600); do
    "$@" && return 0
    kill -0 "$pid" 2>/dev/null || fail "tunora ended early"
    sleep 0.1
  done
  return 1
}
title() { get Metadata | grep -o "'xesam:title': <'[^']*'>" || true; }
playing() { get PlaybackStatus | grep -q "'Playing'"; }
paused() { get PlaybackStatus | grep -q "'Paused'"; }
has_title() { [ -n "$(title)" ]; }
# The picture's file from Metadata (the test's folders need no %-escapes).
art() { get Metadata | grep -o "'mpris:artUrl': <'file://[^']*'>" | sed "s|.*<'file://||; s|'>||" || true; }
has_art() { local a; a=$(art); [ -n "$a" ] && [ -f "$a" ]; }
notified_with() { grep -q "	file://$1\$" "$tmp/notify.log" 2>/dev/null; }
# The picture Metadata names now was notified (a picture decoded again for the same song replaces
# the one before, and is notified again).
notified_with_current_art() { local a; a=$(art); [ -n "$a" ] && notified_with "$a"; }

# The desktop's notification service, mocked.
"$mpris_tests" --serve-notifications "$tmp/notify.log" &
aux_pid=$!
mock_up() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner org.freedesktop.Notifications 2>/dev/null |
    grep -q true
}
for _ in $(seq 600); do mock_up && break; sleep 0.1; done
mock_up || fail "the mocked notification service did not start"

"$build/tunora" s 2>"$tmp/trace.log" &
pid=$!
wait_for gdbus introspect --session --dest $name --object-path $path --only-properties >/dev/null 2>&1 ||
  fail "the name did not appear"
interfaces=$(gdbus introspect --session --dest $name --object-path $path)
grep -q "interface org.mpris.MediaPlayer2 " <<<"$interfaces" || fail "no root interface"
grep -q "interface org.mpris.MediaPlayer2.Player " <<<"$interfaces" || fail "no player interface"

wait_for playing || fail "never Playing"
wait_for has_title || fail "no title in Metadata"
first=$(title)
get Metadata | grep -q "'xesam:url': <'file://$tmp/demo/" || fail "xesam:url is not the demo song"
wait_for has_art || fail "no mpris:artUrl naming an existing file: $(get Metadata)"
first_art=$(art)
case "$first_art" in "$XDG_RUNTIME_DIR/tunora/cover-"*.png) ;; *) fail "art file $first_art" ;; esac
[ "$(head -c 4 "$first_art" | od -An -tx1 | tr -d ' ')" = 89504e47 ] || fail "the art file is no PNG"
wait_for notified_with_current_art || fail "the notification had no picture: $(cat "$tmp/notify.log")"
player Next
changed() { local now; now=$(title); [ -n "$now" ] && [ "$now" != "$first" ]; }
wait_for changed || fail "Metadata did not follow the skip: $first"
art_changed() { local a; a=$(art); [ -n "$a" ] && [ "$a" != "$first_art" ] && [ -f "$a" ]; }
wait_for art_changed || fail "the next song's picture has no file of its own"
[ ! -e "$first_art" ] || fail "the last song's picture file is still there"
wait_for notified_with_current_art ||
  fail "the next song's notification had no picture: $(art): $(cat "$tmp/notify.log")"
wait_for playing || fail "not playing after the skip"
player Pause
wait_for paused || fail "Pause did not pause"

gdbus call --session --dest $name --object-path $path --method org.mpris.MediaPlayer2.Quit \
  >/dev/null || fail "Quit failed"
expect_exit 60 0 "Quit"
grep -q "Tunora Quiting" "$tmp/trace.log" || fail "the quit was not shown"
left=$(ls "$XDG_RUNTIME_DIR/tunora/" 2>/dev/null || true)
[ -z "$left" ] || fail "picture files left after the quit: $left"
echo "tunora: media controls drove play, skip, pause and quit; the picture reached the desktop"
