#!/usr/bin/env bash
# Runs every benchmark program (bin/*_bench) of an existing build; builds
# nothing.
#
#   bench/run.sh [BUILD_DIR] [benchmark options...]
#
# BUILD_DIR defaults to build-bench (configured with -DMARLIN_BUILD_BENCH=ON).
# MARLIN_BENCH_PROGRAMS picks some of them, e.g. MARLIN_BENCH_PROGRAMS=codec_bench.
# The first run of stream_source_bench generates its ~264 MiB recording next
# to the binary. Extra options go to every program after its own defaults, so
# they override them, e.g. --benchmark_filter=readNext.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${1:-$here/build-bench}
[[ $# -gt 0 ]] && shift

if [[ -n ${MARLIN_BENCH_PROGRAMS:-} ]]; then
  read -ra names <<<"$MARLIN_BENCH_PROGRAMS"
  programs=()
  for name in "${names[@]}"; do
    programs+=("$build_dir/bin/$name")
  done
else
  shopt -s nullglob
  programs=("$build_dir"/bin/*_bench)
fi
if [[ ${#programs[@]} -eq 0 ]]; then
  echo "no benchmark programs in $build_dir/bin: build them with 'ninja -C $build_dir stream_source_bench codec_bench'" >&2
  exit 2
fi

status=0
for bench in "${programs[@]}"; do
  if [[ ! -x $bench ]]; then
    echo "$bench not found: build it with 'ninja -C $build_dir $(basename "$bench")'" >&2
    status=2
    continue
  fi
  case $(basename "$bench") in
    stream_source_bench)
      # Whole passes take 40-250 ms, so a few seconds per benchmark give
      # enough of them; three repetitions show how much the machine's other
      # load moves them.
      defaults=(--benchmark_min_time=2 --benchmark_repetitions=3 --benchmark_display_aggregates_only=true)
      ;;
    codec_bench)
      # Passes over the 60 pictures take 2-35 ms and each is paired with a
      # reference pass, so a short minimum still gives dozens of pairs.
      defaults=(--benchmark_min_time=0.2 --benchmark_repetitions=3 --benchmark_display_aggregates_only=true)
      ;;
    colour_bench)
      # A pass over the 8 pictures takes 0.5-3 ms, each paired with a
      # reference pass, so a short minimum gives hundreds of pairs; the 32
      # benchmarks take about a minute.
      defaults=(--benchmark_min_time=0.2 --benchmark_repetitions=3 --benchmark_display_aggregates_only=true)
      ;;
    engine_bench)
      # A flat-out pass over the sample takes 50-100 ms; the CPU-load
      # benchmark plays 12 seconds in real time once.
      defaults=(--benchmark_min_time=1)
      ;;
    net_bench)
      # A parser pass over the 16 MiB stream takes a few milliseconds, each
      # paired with a copy of it, so a second gives hundreds of pairs; the
      # loopback sessions run once each in real time, about 35 s in all.
      defaults=(--benchmark_min_time=1)
      ;;
    *)
      defaults=()
      ;;
  esac
  echo "== $(basename "$bench")" >&2
  "$bench" "${defaults[@]}" "$@" || status=$?
done
exit "$status"
