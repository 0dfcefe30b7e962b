#!/usr/bin/env bash
# Installs what is needed, builds, and shows the built-in sample recording:
# what it holds, its first frames and pictures, then plays it for a few
# seconds through the player engine, saving what is shown now and then.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"
build=$("$root/scripts/build.sh" plain | tail -n 1)
sample="$build/samples/sample.QKV"
marlin="$build/bin/marlin"
"$marlin" info "$sample"
echo "first frames (index kind channel length position block-time):"
"$marlin" frames "$sample" | sed -n '1,8p'
"$marlin" decode "$sample" --limit 8 --format bmp --out "$build/samples/pictures"
echo "pictures written to $build/samples/pictures"
"$marlin" play "$sample" --seconds 4 --snapshot-every 30 --out "$build/samples/snapshots"
echo "snapshots of the 4-way split view written to $build/samples/snapshots"
