#!/usr/bin/env bash
# Configures and builds one flavour of the project.
#   scripts/build.sh [plain|sanitize|fuzz|bench|aarch64]   (default: plain)
# Prints the build directory on its last line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-plain}
targets=()

case "$flavour" in
  plain)    dir=build;          args=() ;;
  sanitize) dir=build-sanitize; args=(-DMARLIN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug) ;;
  fuzz)     dir=build-fuzz;     args=(-DMARLIN_BUILD_FUZZ=ON -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14)
            targets=(--target stream_source_fuzz decoder_fuzz playback_fuzz
                     stream_parser_fuzz control_message_fuzz login_reply_fuzz
                     time_search_fuzz settings_fuzz recognition_fuzz index_file_fuzz
                     evidence_manifest_fuzz) ;;
  bench)    dir=build-bench;    args=(-DMARLIN_BUILD_BENCH=ON -DMARLIN_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release) ;;
  aarch64)  dir=build-aarch64;  args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake"
                                      -DMARLIN_BUILD_ENGINE=OFF -DMARLIN_WITH_SDL=OFF -DMARLIN_WITH_FREETYPE=OFF) ;;
  *) echo "unknown build flavour: $flavour" >&2; exit 2 ;;
esac

cmake -S "$root" -B "$root/$dir" -G Ninja "${args[@]}" >/dev/null
cmake --build "$root/$dir" -j2 "${targets[@]}" >&2
echo "$root/$dir"
