#!/usr/bin/env bash
# Installs what is needed, builds, and shows the built-in sample recording:
# what it holds, its first frames and pictures, then plays it for a few
# seconds through the player engine, saving what is shown now and then,
# exports two channels of a few seconds of it to files of their own, finds
# the activity in a recording whose motion is known; then
# serves it as a DVR would and shows it live through the client; last,
# opens it in the desktop app when there is a display.
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
# The sample's block times are UTC; TZ makes the times typed here UTC too.
mkdir -p "$build/samples/export"
TZ=UTC0 "$marlin" export "$sample" "$build/samples/export/sample.mkv" --channels 1,2 \
  --from "2010-01-01 12:00:02" --to "2010-01-01 12:00:06"
echo "channels 1 and 2 of 12:00:02 to 12:00:06 exported to $build/samples/export"

# Finding the moment: a recording whose motion is known (a box moving on
# camera 2 from 4 to 9 s, on camera 4 from 12 to 16 s inside an area, over
# noisy still scenes), the activity it finds, and a still of the first.
motion="$build/samples/motion.QKV"
"$marlin" make-sample "$motion" --channels 4 --seconds 20 --conditional --noise 3 \
  --motion 2:4-9 --motion 4:12-16@320,64,192,128
TZ=UTC0 "$marlin" activity "$motion" --no-cache
TZ=UTC0 "$marlin" still "$motion" --at "2010-01-01 12:00:06" --channel 2 --stamp "$build/samples/motion-ch2.png"

# Client mode without hardware: the simulator serves the sample as a DVR's
# live stream on 127.0.0.1, and the headless client logs in, records it and
# sends a remote key.
"$marlin" serve-dvr "$sample" --port 0 --password demo --loop > "$build/samples/dvr.log" &
dvr=$!
trap 'kill "$dvr" 2>/dev/null || true' EXIT
port=""
for _ in $(seq 50); do
  port=$(sed -n 's/^LISTENING //p' "$build/samples/dvr.log")
  [[ -n $port ]] && break
  sleep 0.1
done
MARLIN_PASSWORD=demo "$marlin" live --host 127.0.0.1 --port "$port" --seconds 3 --key 132 \
  --record "$build/samples/live.QKV" --snapshot-every 30 --out "$build/samples/live-snapshots"
kill "$dvr"
wait "$dvr" || true
echo "the DVR saw: $(grep -c '"event"' "$build/samples/dvr.log") messages ($(grep -o '"event":"[a-z]*"' "$build/samples/dvr.log" | sort | uniq -c | tr -s ' ' | tr '\n' ' '))"
echo "live recording written to $build/samples/live.QKV, snapshots to $build/samples/live-snapshots"

# The desktop app on the sample, where there is a display to show it on.
if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
  echo "opening the sample in marlin-viewer (close the window to end)"
  "$build/bin/marlin-viewer" "$sample"
else
  echo "no display: marlin-viewer not started (run $build/bin/marlin-viewer $sample on a desktop)"
fi
