#!/usr/bin/env bash
# Builds and runs the whole test suite.
#   scripts/test.sh [plain|sanitize|aarch64]   (default: plain; aarch64 runs under qemu)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"
build=$("$root/scripts/build.sh" "${1:-plain}" | tail -n 1)
ctest --test-dir "$build" -j2 --output-on-failure --timeout 600
