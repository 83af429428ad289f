#!/bin/sh
# Shoots the main window as a first start shows it (welcome page, built-in
# demo engines) for the AppStream metadata: res/screenshots/main-window.png.
# Runs the built program on its own X server; needs xvfb-run and ImageMagick
# (both installed by scripts/install-deps.sh).
# Usage: tools/take-screenshot.sh [BUILD_DIR]   (default build)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out="$root/res/screenshots/main-window.png"
mkdir -p "$(dirname "$out")"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
# The window is 470x390, centred on the 1280x1024 screen; the show
# animation is over well within three seconds.
HOME="$home" XDG_CONFIG_HOME="$home" XDG_STATE_HOME="$home" xvfb-run -a -s "-screen 0 1280x1024x24" \
  sh -c "'$build/seed-searcher' & program=\$!; sleep 3;
         import -window root -crop 470x390+405+317 +repage -strip '$out'; kill \$program"
echo "Wrote $out."
