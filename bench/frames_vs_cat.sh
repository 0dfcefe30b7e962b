#!/usr/bin/env bash
# Times `marlin frames` over a recording against `cat` of the same file, both
# into /dev/null, the recording in the page cache. Prints each pair and the
# median of cat time / frames time (1.0: listing the frames costs no more than
# reading the file). The program's start (loading its libraries, timed as
# `marlin --help`) is a fixed cost whatever the recording; the second figure
# leaves it out.
#
#   bench/frames_vs_cat.sh MARLIN RECORDING [PAIRS]
#
# PAIRS (default 7) alternate the two commands, so that a change in the
# machine's other load falls on both. Without a recording of your own, the one
# stream_source_bench makes (~264 MiB, next to its binary) will do; several
# copies of it joined with cat make a larger one.
set -euo pipefail

if [[ $# -lt 2 ]]; then
  echo "usage: $0 MARLIN RECORDING [PAIRS]" >&2
  exit 2
fi
marlin=$1
recording=$2
pairs=${3:-7}

seconds() {
  local begin end
  begin=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  echo "$end - $begin" | bc -l
}

# Brings the recording into the page cache.
cat "$recording" >/dev/null

median() {
  printf '%s\n' "$@" | sort -g | sed -n "$((($# + 1) / 2))p"
}

ratios=()
reading_ratios=()
for ((i = 0; i < pairs; i++)); do
  cat_time=$(seconds cat "$recording")
  frames_time=$(seconds "$marlin" frames "$recording")
  start_time=$(seconds "$marlin" --help)
  ratio=$(echo "$cat_time / $frames_time" | bc -l)
  reading_ratio=$(echo "$cat_time / ($frames_time - $start_time)" | bc -l)
  printf 'cat %.3f s  frames %.3f s  start %.3f s  ratio %.3f  without the start %.3f\n' "$cat_time" \
    "$frames_time" "$start_time" "$ratio" "$reading_ratio"
  ratios+=("$ratio")
  reading_ratios+=("$reading_ratio")
done
printf 'frames vs cat: %.3f, without the start %.3f (medians of %d pairs)\n' "$(median "${ratios[@]}")" \
  "$(median "${reading_ratios[@]}")" "$pairs"
