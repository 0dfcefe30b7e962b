#!/usr/bin/env bash
# Runs one fuzz target for a while.
#
#   fuzz/run.sh BUILD_DIR SECONDS [TARGET]
#
# TARGET is stream_source (the default), decoder, playback, stream_parser,
# control_message, login_reply, time_search, settings, recognition, index_file
# or evidence_manifest; its starting corpus is fuzz/corpus/TARGET. BUILD_DIR is
# a build configured with -DMARLIN_BUILD_FUZZ=ON. The corpus is copied to a
# temporary directory first, so a run never rewrites fuzz/corpus; a crashing
# input is kept in that directory and its path is printed. Exits non-zero when
# the target crashed, leaked or timed out.
set -euo pipefail

if [[ $# -lt 2 || $# -gt 3 ]]; then
  echo "usage: $0 BUILD_DIR SECONDS [stream_source|decoder|playback|stream_parser|control_message|login_reply|time_search|settings|recognition|index_file|evidence_manifest]" >&2
  exit 2
fi
build_dir=$1
seconds=$2
name=${3:-stream_source}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
target=$build_dir/bin/${name}_fuzz
if [[ ! -x $target ]]; then
  echo "$target not found: build it with 'ninja -C $build_dir ${name}_fuzz'" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/${name}_fuzz.XXXXXX")
mkdir -p "$work/corpus" "$work/artifacts"
cp "$here/corpus/$name"/* "$work/corpus/"
echo "working in $work"

status=0
"$target" "$work/corpus" \
  -max_total_time="$seconds" \
  -rss_limit_mb=2048 \
  -max_len=65536 \
  -timeout=25 \
  -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" || status=$?

if [[ $status -ne 0 ]] || compgen -G "$work/artifacts/*" >/dev/null; then
  echo "FAILED (exit status $status); reproducers:" >&2
  ls -l "$work/artifacts" >&2
  echo "rerun one with: $target <file>" >&2
  exit $(( status == 0 ? 1 : status ))
fi
rm -rf "$work"
echo "no findings in ${seconds}s"
