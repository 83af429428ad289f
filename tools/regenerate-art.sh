#!/bin/sh
# Builds tools/make-art and redraws every shipped image: res/skin.dll,
# res/0.jpg, res/seed-searcher.png, res/caption_buttons.png,
# res/message_icons.png and the embedded strips dui/core/caption_strip_data.inc
# and dui/controls/message_icons_data.inc.
# Usage: tools/regenerate-art.sh [PREVIEW_DIR]
# With PREVIEW_DIR the eight skin resources are also written there as N.png.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-art"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DSEED_BUILD_TESTS=OFF -DSEED_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target make-art -j2
mkdir -p "$root/res" "$root/dui/core" "$root/dui/controls"
if [ $# -ge 1 ]; then
  mkdir -p "$1"
  "$build/tools/make-art" "$root" "$1"
else
  "$build/tools/make-art" "$root"
fi
echo "Regenerated the art under $root/res and the embedded strips."
