#!/usr/bin/env bash
# How the command-line program's commands scale with the library: wall time of `table info`,
# `build` (100 songs), `import` (a folder holding one file new to the library, a new one each
# run) and `search` (a hit and a miss) on each library given, the median of three runs (the
# first run of a command on a library may write the index cache, so it is shown too), and each
# median's ratio to the first library's. The build and the imports change the libraries.
# Usage: bench/cli_scale.sh TUNORA_CLI LIBRARY.mbf [LIBRARY.mbf ...]   (smallest first)
# CLI_SCALE_COMMANDS="import info" limits the commands to those named.
set -euo pipefail
cli=$1
shift
commands=${CLI_SCALE_COMMANDS:-info build import search-hit search-miss}
songs=$(mktemp -d)
trap 'rm -rf "$songs"' EXIT
serial=0

now() { date +%s.%N; }

# Prints "first median" for a command run three times.
runs() {
  local times=() start
  for _ in 1 2 3; do
    start=$(now)
    "$@" > /dev/null 2>&1 || true
    times+=("$(echo "$(now) - $start" | bc)")
  done
  local median
  median=$(printf '%s\n' "${times[@]}" | sort -g | sed -n 2p)
  echo "${times[0]} $median"
}

declare -A base
echo "load average $(cut -d' ' -f1-3 /proc/loadavg)"
# A folder holding one song file no library has seen.
newFolder() {
  serial=$((serial + 1))
  local dir="$songs/new-$$-$serial-$(date +%s%N)"
  mkdir -p "$dir"
  head -c 4096 /dev/zero > "$dir/song.mp3"
  echo "$dir"
}

importOne() { "$cli" import --db "$1" "$(newFolder)"; }

for lib in "$@"; do
  for cmd in $commands; do
    case $cmd in
      info) r=$(runs "$cli" table info "$lib") ;;
      build) r=$(runs "$cli" build --db "$lib" --count 100 --seed 5) ;;
      import) r=$(runs importOne "$lib") ;;
      search-hit) r=$(runs "$cli" search --db "$lib" love) ;;
      search-miss) r=$(runs "$cli" search --db "$lib" qqqzz) ;;
    esac
    first=${r% *}
    median=${r#* }
    [ -z "${base[$cmd]:-}" ] && base[$cmd]=$median
    printf '%-40s %-12s first %8.4f s  median %8.4f s  ratio %7.2f\n' "$(basename "$lib")" "$cmd" \
      "$first" "$median" "$(echo "$median / ${base[$cmd]}" | bc -l)"
  done
done
