# Sourced by the scripts that run the real tunora on a virtual X server (Xvfb): a private home,
# data and runtime folder under a temporary folder, a silent audio sink, tracing on, and on exit
# the program (whose process id the script keeps in `pid`), a helper process of the test (in
# `aux_pid`) and the server killed and the folder removed. The sourcing script sets `build` (the
# build folder) first.
tmp=$(mktemp -d)
xvfb_pid=""
pid=""
aux_pid=""
session_cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null || true
  [ -n "$aux_pid" ] && kill "$aux_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap session_cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- trace"; tail -20 "$tmp/trace.log" 2>/dev/null; exit 1; }

export HOME="$tmp" XDG_DATA_HOME="$tmp/data" XDG_CACHE_HOME="$tmp/cache" XDG_RUNTIME_DIR="$tmp/run"
export TUNORA_AUDIO_SINK="fakesink sync=true" TUNORA_TRACE=1
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
data="$XDG_DATA_HOME/Pellan/Tunora"
mkdir -p "$data"

# make_library FOLDER [COVER]: the 30 demo songs written into FOLDER (each album folder given
# COVER as its "Cover.png" when named) and imported into the library, and the settings file of an
# installation already set up, so that no welcome dialog waits for a click.
make_library() {
  "$build/tunora-cli" demo "$1" >/dev/null
  if [ -n "${2:-}" ]; then
    for album in "$1"/*/*/; do cp "$2" "$album/Cover.png"; done
  fi
  "$build/tunora-cli" table create-song "$data/Tunora.mbf" >/dev/null
  "$build/tunora-cli" import --db "$data/Tunora.mbf" "$1/" | grep -q "Import Complete" ||
    fail "the import failed"
  "$build/tunora-cli" settings defaults --db "$data/Tunora.mbf" "$data/dTunora.dat" >/dev/null
}

# start_xvfb [WIDTHxHEIGHT]: a virtual X server (1024x768 unless given), named in DISPLAY. Its
# display number is drawn at random from 100-899 until one is free: a server ending beside one
# starting on its just-freed number can remove the new one's socket. It never resets: a server
# that resets when its last client leaves can refuse the next program started at that moment.
start_xvfb() {
  for _ in $(seq 20); do
    : >"$tmp/display"
    Xvfb ":$((100 + RANDOM % 800))" -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp \
      -noreset 3>"$tmp/display" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
      [ -s "$tmp/display" ] && break
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    [ -s "$tmp/display" ] && break
    kill "$xvfb_pid" 2>/dev/null || true
  done
  [ -s "$tmp/display" ] || fail "Xvfb did not start"
  DISPLAY=":$(head -1 "$tmp/display")"
  export DISPLAY
  unset QT_QPA_PLATFORM WAYLAND_DISPLAY
}

# expect_exit SECONDS STATUS WHAT: the program in `pid` ends within SECONDS of WHAT (a signal, a
# quit) with exit status STATUS.
expect_exit() {
  local ended=0 status=0
  for _ in $(seq $(($1 * 10))); do
    kill -0 "$pid" 2>/dev/null || { ended=1; break; }
    sleep 0.1
  done
  [ "$ended" = 1 ] || fail "tunora did not end within $1 s of $3"
  wait "$pid" || status=$?
  pid=""
  [ "$status" = "$2" ] || fail "exit status $status"
}
