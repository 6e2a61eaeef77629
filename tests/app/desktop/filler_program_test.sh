#!/usr/bin/env bash
# The media filler instance end to end: the real "tunora f" on a virtual X server (Xvfb) over a
# library of 30 demo songs. It shows the window "Tunora Media Filler" (not the player), and a
# termination signal closes it; the process exits 0 and, as the window's close box does, leaves
# the filler settings file unwritten. Every wait is bounded.
# Usage: filler_program_test.sh BUILD_DIR
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
fail() { echo "FAIL: $*"; echo "--- trace"; tail -20 "$tmp/trace.log" 2>/dev/null; exit 1; }

export HOME="$tmp" XDG_DATA_HOME="$tmp/data" XDG_CACHE_HOME="$tmp/cache" XDG_RUNTIME_DIR="$tmp/run"
export TUNORA_TRACE=1
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
data="$XDG_DATA_HOME/Pellan/Tunora"
mkdir -p "$data"
"$build/tunora-cli" demo "$tmp/demo" >/dev/null
"$build/tunora-cli" table create-song "$data/Tunora.mbf" >/dev/null
"$build/tunora-cli" import --db "$data/Tunora.mbf" "$tmp/demo/" | grep -q "Import Complete"

# A virtual X server on a free display.
exec 3>"$tmp/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$tmp/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

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
ended=0
for _ in $(seq 300); do
  kill -0 "$pid" 2>/dev/null || { ended=1; break; }
  sleep 0.1
done
[ "$ended" = 1 ] || fail "tunora f did not end within 30 s of the signal"
status=0
wait "$pid" || status=$?
pid=""
[ "$status" = 0 ] || fail "exit status $status"
[ ! -e "$data/dTnFill.dat" ] || fail "the close box saved the filler settings"
[ ! -e "$data/Local.mbf" ] || fail "the filler made the player's local copy"
echo "tunora f: showed the filler window and ended on the signal"
