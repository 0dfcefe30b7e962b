#!/usr/bin/env bash
# Runs the stream source benchmark of an existing build; builds nothing.
#
#   bench/run.sh [BUILD_DIR] [benchmark options...]
#
# BUILD_DIR defaults to build-bench (configured with -DMARLIN_BUILD_BENCH=ON).
# The first run generates the ~264 MiB recording next to the binary. Extra
# options go to Google Benchmark, e.g. --benchmark_filter=readNext.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${1:-$here/build-bench}
[[ $# -gt 0 ]] && shift
bench=$build_dir/bin/stream_source_bench
if [[ ! -x $bench ]]; then
  echo "$bench not found: build it with 'ninja -C $build_dir stream_source_bench'" >&2
  exit 2
fi

# Whole passes take 40-250 ms, so a few seconds per benchmark give enough of
# them; three repetitions show how much the machine's other load moves them.
exec "$bench" \
  --benchmark_min_time=2 \
  --benchmark_repetitions=3 \
  --benchmark_display_aggregates_only=true \
  "$@"
