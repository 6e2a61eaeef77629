#!/usr/bin/env bash
# The desktop program end to end: the real tunora on a virtual X server (Xvfb) with 30 demo songs
# and a silent audio sink. It starts, builds a list, plays two songs, and on a termination signal
# (which closes the window as its close button does) runs the quit and exits 0 with the settings
# and the state's play list saved. Every wait is bounded.
# Usage: desktop_program_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
xvfb_pid=""
pid=""
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- trace"; cat "$tmp/trace.log" 2>/dev/null | tail -20; exit 1; }

export HOME="$tmp" XDG_DATA_HOME="$tmp/data" XDG_CACHE_HOME="$tmp/cache" XDG_RUNTIME_DIR="$tmp/run"
export TUNORA_AUDIO_SINK="fakesink sync=true" TUNORA_TRACE=1
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
data="$XDG_DATA_HOME/Pellan/Tunora"
mkdir -p "$data"
"$build/tunora-cli" demo "$tmp/demo" >/dev/null
"$build/tunora-cli" table create-song "$data/Tunora.mbf" >/dev/null
# A settings file: no first run, so no welcome dialog waits for a click.
"$build/tunora-cli" settings defaults --db "$data/Tunora.mbf" "$data/dTunora.dat"
"$build/tunora-cli" import --db "$data/Tunora.mbf" "$tmp/demo/" | grep -q "Import Complete"

# A virtual X server on a free display.
exec 3>"$tmp/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$tmp/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

"$build/tunora" s 2>"$tmp/trace.log" &
pid=$!
songs=0
for _ in $(seq 900); do  # up to 90 s under load; two 4-second songs take about 10
  songs=$(grep -c '^tunora: song /' "$tmp/trace.log" || true)
  [ "$songs" -ge 2 ] && break
  kill -0 "$pid" 2>/dev/null || fail "tunora ended early"
  sleep 0.1
done
[ "$songs" -ge 2 ] || fail "two songs did not start"
grep -q "Tunora Playing" "$tmp/trace.log" || fail "the status never read Tunora Playing"

kill -TERM "$pid"
ended=0
for _ in $(seq 600); do
  kill -0 "$pid" 2>/dev/null || { ended=1; break; }
  sleep 0.1
done
[ "$ended" = 1 ] || fail "tunora did not end within 60 s of the close"
status=0
wait "$pid" || status=$?
pid=""
[ "$status" = 0 ] || fail "exit status $status"
grep -q "Tunora Quiting" "$tmp/trace.log" || fail "the quit was not shown"

# The settings file: "TUNO1401" and the 7000-byte record.
[ -f "$data/dTunora.dat" ] || fail "no settings file"
[ "$(head -c 8 "$data/dTunora.dat")" = "TUNO1401" ] || fail "settings header"
[ "$(stat -c %s "$data/dTunora.dat")" = 7008 ] || fail "settings size"
# The state's play list: the songs still prepared, each a demo song's path.
[ -s "$data/PL1.m3u" ] || fail "the play list was not saved"
while IFS= read -r line; do
  line=${line%$'\r'}
  [ -f "$line" ] || fail "play list line is not a song: $line"
  case "$line" in "$tmp/demo/"*) ;; *) fail "not a demo song: $line" ;; esac
done <"$data/PL1.m3u"
echo "tunora: started, played two songs, quit and saved"
