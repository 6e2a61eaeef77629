#!/usr/bin/env bash
# Resident memory of the command-line program's commands on one library: for each of open
# ("table info"), build (100 songs), import (one new file) and search (a phrase that hits and one
# that misses), the peak total RSS and the peak anonymous RSS (RssAnon), sampled every 20 ms
# from /proc, with the wall time.
# Usage: bench/memory_bench.sh TUNORA_CLI LIBRARY.mbf [scratch folder]
set -euo pipefail
cli=$1
lib=$2
scratch=${3:-/tmp/tunora-memory-bench}
mkdir -p "$scratch/new"
# One small file with a tag-less MPEG-looking body: enough for an import to add it.
head -c 4096 /dev/urandom > "$scratch/new/memory-bench-$$.mp3"

# Runs a command, samples its memory until it ends; prints "name wall peak-rss peak-anon".
probe() {
  local name=$1
  shift
  local start end pid rss=0 anon=0 r a
  start=$(date +%s.%N)
  "$@" > /dev/null 2>&1 &
  pid=$!
  while kill -0 "$pid" 2> /dev/null; do
    if [ -r "/proc/$pid/status" ]; then
      r=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2> /dev/null || echo 0)
      a=$(awk '/^RssAnon:/ {print $2}' "/proc/$pid/status" 2> /dev/null || echo 0)
      [ -n "$r" ] && [ "$r" -gt "$rss" ] && rss=$r
      [ -n "$a" ] && [ "$a" -gt "$anon" ] && anon=$a
    fi
    sleep 0.02
  done
  wait "$pid" || true
  end=$(date +%s.%N)
  printf '%-14s %7.2f s  peak RSS %8d kB  peak RssAnon %8d kB\n' "$name" \
    "$(echo "$end - $start" | bc)" "$rss" "$anon"
}

echo "library $lib ($(du -h "$lib" | cut -f1)), load average $(cut -d' ' -f1 /proc/loadavg)"
probe open "$cli" table info "$lib"
probe build "$cli" build --db "$lib" --count 100 --seed 5
probe import "$cli" import --db "$lib" "$scratch/new/"
probe search-hit "$cli" search --db "$lib" love
probe search-miss "$cli" search --db "$lib" qqqzz
rm -rf "$scratch"
