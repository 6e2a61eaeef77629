#!/usr/bin/env bash
# How the command-line program's commands scale with the library: wall time of `table info`,
# `build` (100 songs) and `search` (a hit and a miss) on each library given, the median of three
# runs (the first run of a command on a library may write the index cache, so it is shown too),
# and each median's ratio to the first library's.
# Usage: bench/cli_scale.sh TUNORA_CLI LIBRARY.mbf [LIBRARY.mbf ...]   (smallest first)
set -euo pipefail
cli=$1
shift

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
for lib in "$@"; do
  for cmd in info build search-hit search-miss; do
    case $cmd in
      info) r=$(runs "$cli" table info "$lib") ;;
      build) r=$(runs "$cli" build --db "$lib" --count 100 --seed 5) ;;
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
