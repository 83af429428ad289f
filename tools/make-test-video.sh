#!/bin/sh
# Encodes the small H.264/AAC MP4 the player's playback test serves:
# one second of a colour-bar test pattern at 64x48 and 10 frames a second
# with a sine tone, headers first so that it plays while it downloads.
# Needs GStreamer's command line and encoders (scripts/install-deps.sh
# --tools installs them); the result is committed, so tests never run this.
# Usage: tools/make-test-video.sh [OUT]   (default tests/fixtures/media/h264-aac.mp4)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/tests/fixtures/media/h264-aac.mp4}
mkdir -p "$(dirname "$out")"
gst-launch-1.0 -q -e \
  mp4mux name=mux faststart=true ! filesink location="$out" \
  videotestsrc num-buffers=10 pattern=smpte \
    ! video/x-raw,width=64,height=48,framerate=10/1,format=I420 \
    ! x264enc bitrate=32 key-int-max=10 bframes=0 threads=1 \
    ! video/x-h264,profile=baseline ! h264parse ! queue ! mux. \
  audiotestsrc num-buffers=10 samplesperbuffer=4410 wave=sine \
    ! audio/x-raw,rate=44100,channels=1 \
    ! avenc_aac bitrate=32000 ! aacparse ! queue ! mux.
echo "Wrote $out ($(wc -c <"$out") bytes)."
