#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test. Tests that need an X
# display run under xvfb-run when there is none.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
build_dir=${BUILD_DIR:-build}
sanitize=OFF
if [[ ${SANITIZE:-0} == 1 ]]; then
  sanitize=ON
  export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
fi
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSANITIZE="$sanitize" >/dev/null
cmake --build "$build_dir" -j2

cd "$build_dir"
ctest --output-on-failure -j2 -LE gtk
if [[ -n ${DISPLAY:-} ]]; then
  ctest --output-on-failure -L gtk
else
  xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -L gtk
fi
