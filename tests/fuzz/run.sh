#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a fixed time (seconds,
# default 20) over its seed corpus. A longer run: tests/fuzz/run.sh 3600
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-20}"
build_dir=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -DZENTROVA_FUZZ=ON -DZENTROVA_TESTS=OFF \
  -DZENTROVA_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(stdin_reader event_line arguments level audio_file)
cmake --build "$build_dir" -j"$(nproc)" --target "${targets[@]/%/_fuzz}" >/dev/null
status=0
for target in "${targets[@]}"; do
  work="$build_dir/corpus/$target"
  mkdir -p "$work" "$build_dir/findings"
  log="$build_dir/$target.log"
  if "$build_dir/tests/fuzz/${target}_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$build_dir/findings/$target-" \
      "$work" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
    echo "$target: $(grep -m1 -o 'number_of_executed_units: [0-9]*' "$log") in ${seconds}s, no finding"
  else
    echo "$target: FAILED"; tail -30 "$log"; status=1
  fi
done
exit $status
