#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/, -DFUZZ=ON) and runs
# each for SECONDS (default 60) on its seed corpus in tests/fuzz/corpus/.
# New inputs go to build-fuzz/corpus/, crashes to build-fuzz/crashes/; the
# script fails when any target finds one. Prints runs and time per target.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
./scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DFUZZ=ON >/dev/null
cmake --build "$build_dir" -j2

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
# The targets that drive a control start fontconfig and GLib, whose
# per-process caches live until exit.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
failed=()
for seeds in tests/fuzz/corpus/*/; do
  name=$(basename "$seeds")
  target="$build_dir/tests/fuzz/fuzz_$name"
  work="$build_dir/corpus/$name"
  crashes="$build_dir/crashes/$name/"
  mkdir -p "$work" "$crashes"
  log="$build_dir/fuzz_$name.log"
  # The first directory receives new inputs; the committed seeds stay as they are.
  if "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 -print_final_stats=1 \
       -artifact_prefix="$crashes" "$work" "$seeds" >"$log" 2>&1; then
    status=ok
  else
    status=FAILED
    failed+=("$name")
  fi
  runs=$(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  echo "fuzz_$name: $status, $runs runs in ${seconds}s (log: $log)"
done
if ((${#failed[@]} > 0)); then
  echo "fuzz: failures in ${failed[*]}; reproducers in $build_dir/crashes/" >&2
  exit 1
fi
