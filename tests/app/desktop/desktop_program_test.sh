#!/usr/bin/env bash
# The desktop program end to end: the real tunora on a virtual X server (Xvfb) with 30 demo songs
# and a silent audio sink. It starts, builds a list, plays two songs, and on a termination signal
# (which closes the window as its close button does) runs the quit and exits 0 with the settings
# and the state's play list saved. Every wait is bounded.
# Usage: desktop_program_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
# shellcheck source=tests/support/desktop_session.sh
source "$(dirname "$0")/../../support/desktop_session.sh"
make_library "$tmp/demo"
start_xvfb

"$build/tunora" s 2>"$tmp/trace.log" &
pid=$!
songs=0
for _ in $(seq 900); do  # up to 90 s under load; two 4-second songs take about 10
  songs=$(grep -c '^tunora: song /' "$tmp/trace.log" || true)
  # The status reads "Playing" once the list builder has let go; under load that can come after
  # the second song has started.
  [ "$songs" -ge 2 ] && grep -q "Tunora Playing" "$tmp/trace.log" && break
  kill -0 "$pid" 2>/dev/null || fail "tunora ended early"
  sleep 0.1
done
[ "$songs" -ge 2 ] || fail "two songs did not start"
grep -q "Tunora Playing" "$tmp/trace.log" || fail "the status never read Tunora Playing"

kill -TERM "$pid"
expect_exit 60 0 "the close"
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
