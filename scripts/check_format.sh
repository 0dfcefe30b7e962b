#!/usr/bin/env bash
# Fails when a C++ file of the tree is not formatted as .clang-format says;
# `clang-format-14 -i FILE` formats one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 --dry-run --Werror
