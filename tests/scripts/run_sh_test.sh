#!/usr/bin/env bash
# scripts/run.sh: --help, the refusals of a missing folder and of one without media, demo songs
# only for a library without music, and demo songs taken out when real music comes in.
# Usage: tests/scripts/run_sh_test.sh BUILD_DIR   (the folder holding tunora-cli)
set -uo pipefail
build_dir="$(cd "$1" && pwd)"
run_sh="$(cd "$(dirname "$0")/../.." && pwd)/scripts/run.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_DATA_HOME="$work/data" BUILD_DIR="$build_dir"
export TUNORA_RUN_PREPARE_ONLY=1
mkdir -p "$HOME"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# Runs run.sh (bounded), keeping its exit status, standard output and standard error.
run() { timeout 60 bash "$run_sh" "$@" >"$work/out" 2>"$work/err"; status=$?; }
live() { "$build_dir/tunora-cli" table info "$XDG_DATA_HOME/Pellan/Tunora/Tunora.mbf" |
         sed 's/.*"live":\([0-9]*\).*/\1/'; }

run --help
[ "$status" = 0 ] || fail "--help exits $status"
grep -q '^Usage: scripts/run.sh \[--terminal\] \[MUSIC_FOLDER\]' "$work/out" || fail "--help prints no usage"
grep -q 'Pellan/Tunora/' "$work/out" || fail "--help does not say where the library lives"
[ ! -e "$XDG_DATA_HOME" ] || fail "--help made the data folder"

run "$work/Musik"
[ "$status" = 1 ] || fail "a missing folder exits $status"
grep -q "no such folder: $work/Musik" "$work/err" || fail "a missing folder: $(cat "$work/err")"
mkdir -p "$work/empty/sub" && echo text >"$work/empty/sub/readme.txt"
run "$work/empty"
[ "$status" = 1 ] || fail "a folder without media exits $status"
grep -q "no media files" "$work/err" || fail "a folder without media: $(cat "$work/err")"
[ ! -e "$XDG_DATA_HOME/Pellan/Tunora/Demo Songs" ] || fail "a refusal made demo songs"

# No music anywhere: the demo songs (30).
run
[ "$status" = 0 ] || fail "the demo run exits $status: $(cat "$work/err")"
[ "$(live)" = 31 ] || fail "the demo library holds $(live) records, not 30 songs and the blank one"
# Real music named: the demo songs leave the library.
mkdir -p "$work/Real/Band"
for i in 1 2 3; do echo "audio $i" >"$work/Real/Band/song$i.mp3"; done
run "$work/Real"
[ "$status" = 0 ] || fail "the real import exits $status: $(cat "$work/err")"
[ "$(live)" = 4 ] || fail "after the real import the library holds $(live) records, not 3 songs"
grep -q "3 added, 0 already known" "$work/out" || fail "no counts line: $(cat "$work/out")"
# A plain run afterwards adds no demo songs to a library with music.
run
[ "$status" = 0 ] || fail "the plain run exits $status"
[ "$(live)" = 4 ] || fail "a plain run changed the library to $(live) records"

[ "$failures" = 0 ] && echo "run.sh: all checks passed"
exit "$failures"
