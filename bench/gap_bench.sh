#!/usr/bin/env bash
# The silence between songs and the delay that files missing from the list add, measured on a
# PulseAudio null sink: a private PulseAudio server with one null sink, a recording of its
# monitor, and `tunora-cli play` over 30 generated demo songs (4 s each).
#
#   bench/gap_bench.sh [TUNORA_CLI] [SECONDS]
#
# TUNORA_CLI defaults to build/tunora-cli; SECONDS (default 30) is how long the songs play for
# the gap figures. Prints every silence between two songs (a run of samples below -54 dBFS
# longer than 20 ms that follows a song's 4 s of sound; shorter sound before a silence makes it a
# dropout inside a song, printed apart) for a list of songs, and for a list
# whose first song is followed by ten songs of the library whose files are gone (the silence
# after the first song then includes passing over the ten).
#
# GAP_BENCH_MISSING_SECONDS (default 10) is how long the second list plays; GAP_BENCH_SHOW=1
# prints what tunora-cli play printed; GAP_BENCH_ERR_LINES=N shows N lines of its standard error
# (default 3).
#
# Needs (not part of the build): apt-get install pulseaudio pulseaudio-utils sox python3
set -euo pipefail

cli=$(realpath "${1:-build/tunora-cli}")
seconds=${2:-30}
for tool in pulseaudio pactl parec sox python3; do
  command -v "$tool" >/dev/null || {
    echo "gap_bench: $tool is missing (apt-get install pulseaudio pulseaudio-utils sox python3)" >&2
    exit 2
  }
done
[ -x "$cli" ] || { echo "gap_bench: no $cli (build the tunora-cli target)" >&2; exit 2; }

work=$(mktemp -d)
pa_pid=""
cleanup() {
  [ -n "$pa_pid" ] && kill "$pa_pid" 2>/dev/null && wait "$pa_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A private server: its own runtime folder, home and socket; the null sink is the default.
mkdir -p "$work/run" "$work/home"
export XDG_RUNTIME_DIR=$work/run PULSE_RUNTIME_PATH=$work/run
export PULSE_SERVER=unix:$work/pulse.sock
HOME=$work/home pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-target=file:"$work/pa.log" \
  --load="module-null-sink sink_name=tunora_null rate=44100 channels=2" \
  --load="module-native-protocol-unix socket=$work/pulse.sock auth-anonymous=1" &
pa_pid=$!
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-sink tunora_null

# The library: 30 demo songs; its play list file (PL1.m3u beside the table) sets the order.
"$cli" demo "$work/songs" >/dev/null
mkdir -p "$work/lib"
"$cli" table create-song "$work/lib/Tunora.mbf" >/dev/null
"$cli" import --db "$work/lib/Tunora.mbf" "$work/songs/" >/dev/null 2>&1 ||
  "$cli" import --db "$work/lib/Tunora.mbf" "$work/songs/x" >/dev/null
mapfile -t songs < <(find "$work/songs" -name '*.wav' | sort)

# Plays the list (one path a line in $1) for $2 seconds while recording the monitor; prints the
# silences found in the recording, in order, under the name $3.
run() {
  local list=$1 secs=$2 name=$3
  rm -rf "$work/lib"/*.m3u "$work/lib"/*.ini "$work/lib/Tunora.ini"
  cp "$list" "$work/lib/PL1.m3u"
  parec -d tunora_null.monitor --format=s16le --rate=44100 --channels=1 --latency-msec=10 \
    >"$work/$name.raw" &
  local rec=$!
  sleep 0.5
  "$cli" play --db "$work/lib/Tunora.mbf" </dev/null >"$work/$name.out" 2>"$work/$name.err" &
  local play=$!
  sleep "$secs"
  kill -TERM "$play"
  wait "$play" || true
  kill "$rec"
  wait "$rec" 2>/dev/null || true
  python3 - "$work/$name.raw" "$name" <<'EOF'
import statistics, struct, sys
path, name = sys.argv[1], sys.argv[2]
data = open(path, 'rb').read()
samples = struct.unpack('<%dh' % (len(data) // 2), data[: len(data) // 2 * 2])
rate, quiet, least = 44100, 64, int(0.020 * 44100)
loud = [i for i, s in enumerate(samples) if abs(s) >= quiet]
if not loud:
    print(f'{name}: no sound recorded'); sys.exit(0)
first, last = loud[0], loud[-1]
# Each demo song holds 4 s of sound: a silence after about 4 s of sound is a switch between songs;
# one earlier is a dropout inside a song (the output starved, as on a loaded machine).
song = 4.0
switches, dropouts, run_start, sound_start, sound = [], [], None, first, 0.0
for i in range(first, last + 1):
    if abs(samples[i]) < quiet:
        if run_start is None: run_start = i
    elif run_start is not None:
        if i - run_start >= least:
            sound += (run_start - sound_start) / rate
            if sound >= song - 0.05:
                switches.append((i - run_start) * 1000 / rate)
                sound = 0.0
            else:
                dropouts.append((i - run_start) * 1000 / rate)
            sound_start = i
        run_start = None
if switches:
    print(f'{name}: {len(switches)} silences between songs, ms: ' + ' '.join(f'{g:.0f}' for g in switches))
    print(f'{name}: silence median {statistics.median(switches):.0f} ms, max {max(switches):.0f} ms')
elif last - first > rate:
    print(f'{name}: no silence of 20 ms or more between songs')
if dropouts:
    print(f'{name}: {len(dropouts)} dropouts inside songs, ms: ' + ' '.join(f'{g:.0f}' for g in dropouts))
EOF
  grep -v "^$" "$work/$name.err" | head -${GAP_BENCH_ERR_LINES:-3} | sed "s/^/$name stderr: /" || true
  [ -n "${GAP_BENCH_SHOW:-}" ] && cat "$work/$name.out"
  true
}

printf '%s\n' "${songs[@]:0:20}" >"$work/plain.m3u"
{
  echo "${songs[0]}"
  for i in $(seq 0 9); do echo "${songs[$((20 + i))]}"; done
  printf '%s\n' "${songs[@]:1:19}"
} >"$work/missing.m3u"

gst-inspect-1.0 >/dev/null 2>&1 || true  # GStreamer's plugin registry is up to date
run "$work/plain.m3u" "$seconds" songs

# The first song, then ten songs of the library whose files are gone: the first silence is the
# one that passes over them.
for i in $(seq 0 9); do rm "${songs[$((20 + i))]}"; done
run "$work/missing.m3u" "${GAP_BENCH_MISSING_SECONDS:-10}" missing
