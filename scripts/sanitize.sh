#!/usr/bin/env bash
# Runs the in-process and harness tests under AddressSanitizer with
# UndefinedBehaviorSanitizer, and the threaded paths (dispatch, level tap,
# stdin reader, decoder hand-off, exit from any thread, the capture engine)
# under ThreadSanitizer. Every report fails the run: the tool points its
# standard error at the null device, so reports go to log files instead.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
jobs="$(nproc)"

run_suite() {  # build-dir sanitizers ctest-args...
  local dir="$1" sanitizers="$2"
  shift 2
  cmake -S . -B "$dir" -DZENTROVA_SANITIZE="$sanitizers" -DZENTROVA_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$dir" -j"$jobs" >/dev/null
  local logs="$root/$dir/sanitizer-logs"
  rm -rf "$logs" && mkdir -p "$logs"
  local common="halt_on_error=1:log_path=$logs/report"
  ASAN_OPTIONS="$common:detect_leaks=0" UBSAN_OPTIONS="$common:print_stacktrace=1" \
  TSAN_OPTIONS="$common:second_deadlock_stack=1:suppressions=$root/tests/sanitizers/tsan.supp" \
    ctest --test-dir "$dir" --output-on-failure -j"$jobs" "$@"
  if compgen -G "$logs/report*" >/dev/null; then
    echo "sanitizer reports in $logs:"; cat "$logs"/report*; return 1
  fi
  echo "$dir: no sanitizer report"
}

# Leaks are not checked: the process ends through _exit on purpose, with
# the backends' threads still holding what they hold.
run_suite build-asan address,undefined -L 'unit|scenario'
run_suite build-asan address,undefined -R '^(pocketsphinx|sound|transcript)\.' -E 'RealTimePace'
run_suite build-tsan thread -L 'unit|scenario'
run_suite build-tsan thread -R '^((pocketsphinx|sound|transcript)\.|live\.(rig|engine)\.)' -E 'RealTimePace'
