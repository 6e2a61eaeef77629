#!/usr/bin/env bash
# The bash completion of tunora-cli against the real program: command words, the next word of a
# two-word command, a command's options, file names after a complete command.
# Usage: completion_test.sh COMPLETION_FILE TUNORA_CLI
set -uo pipefail
source "$1"
cli=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
touch "$scratch/song-one.mp3"
failures=0
# complete WORDS... : the replies for the last word, sorted, on one line.
complete_words() {
  COMP_WORDS=("$cli" "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _tunora_cli
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}
expect() {
  local want=$1
  shift
  local got
  got=$(complete_words "$@")
  [ "$got" = "$want" ] || { echo "FAIL: [$*] gave [$got], want [$want]"; failures=$((failures + 1)); }
}
expect "table tags" ta
expect "create create-song dump info" table ""
expect "info" table i
expect "--columns" table create --c
expect "--seed --settings --state" build --s
expect "--bytes --help" playlist read -
expect "$scratch/song-one.mp3" checksum "$scratch/song"
# Every command the program lists is offered at the first word.
first=$(complete_words "")
for word in checksum settings classify tags playlist build import demo help; do
  [[ " $first " == *" $word "* ]] || { echo "FAIL: first word lacks $word"; failures=$((failures + 1)); }
done
[ $failures -eq 0 ] || exit 1
echo "completion ok"
