#!/usr/bin/env bash
# The media filler instance end to end: the real "tunora f" on a virtual X server (Xvfb) over a
# library of 30 demo songs. It shows the window "Tunora Media Filler" (not the player), and a
# termination signal closes it; the process exits 0 and, as the window's close box does, leaves
# the filler settings file unwritten. Every wait is bounded.
# Usage: filler_program_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
# shellcheck source=tests/support/desktop_session.sh
source "$(dirname "$0")/../../support/desktop_session.sh"
make_library "$tmp/demo"
start_xvfb

# The main window's menu item starts the program with the argument "\f".
"$build/tunora" '\f' 2>"$tmp/trace.log" &
pid=$!
shown=0
for _ in $(seq 600); do  # up to 60 s under load; it takes about a second
  grep -q '^tunora: filler window shown: Tunora Media Filler$' "$tmp/trace.log" && { shown=1; break; }
  kill -0 "$pid" 2>/dev/null || fail "tunora ended early"
  sleep 0.1
done
[ "$shown" = 1 ] || fail "the filler window was not shown"
if grep -q '^tunora: status' "$tmp/trace.log"; then fail "the player's window ran"; fi

kill -TERM "$pid"
expect_exit 30 0 "the signal"
[ ! -e "$data/dTnFill.dat" ] || fail "the close box saved the filler settings"
[ ! -e "$data/Local.mbf" ] || fail "the filler made the player's local copy"
echo "tunora f: showed the filler window and ended on the signal"
