#!/usr/bin/env bash
# Installs what is needed, builds, and shows what the built-in sample
# recording holds and its first frames.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"
build=$("$root/scripts/build.sh" plain | tail -n 1)
sample="$build/samples/synthetic.QKV"
"$build/bin/marlin" info "$sample"
echo "first frames (index kind channel length position block-time):"
"$build/bin/marlin" frames "$sample" | head -n 12
