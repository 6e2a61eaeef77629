#!/usr/bin/env bash
# A termination signal during start-up: the real tunora on a virtual X server (Xvfb) on a first
# run shows the welcome dialog; SIGTERM closes it as its close box would and the program ends
# (exit 1) without opening its window. Every wait is bounded.
# Usage: startup_signal_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
# shellcheck source=tests/support/desktop_session.sh
source "$(dirname "$0")/../../support/desktop_session.sh"
start_xvfb

"$build/tunora" s 2>"$tmp/trace.log" &
pid=$!
shown=0
for _ in $(seq 600); do  # up to 60 s under load; it takes about a second
  xwininfo -root -tree 2>/dev/null | grep -q '"Welcome to Tunora' && { shown=1; break; }
  kill -0 "$pid" 2>/dev/null || fail "tunora ended early"
  sleep 0.1
done
[ "$shown" = 1 ] || fail "the welcome dialog was not shown"

kill -TERM "$pid"
expect_exit 30 1 "SIGTERM"
if grep -q '^tunora: status' "$tmp/trace.log"; then fail "the window ran"; fi
echo "PASS"
