#!/usr/bin/env bash
# Prints the benchmark table: zentrova-dictate against pocketsphinx_continuous
# (same engine, same model) on start-up, file transcription, stop latency,
# peak memory and word error rate, the live text's lag behind the voice and
# how often it rewrites a shown word (live, and replayed in audio time
# without the machine: bench/replay.py), words heard in noise, recall of the
# contextual vocabulary (with vocabulary words falsely heard), numbers and
# dictated marks written as the written form's tables say,
# and the level meter against its floor.
#
#   bench/run.sh [BUILD_DIR]      (default ./build, as scripts/setup.sh makes it)
#
# Environment: BENCH_RUNS (runs per figure, default 5), BENCH_SECTIONS (a
# comma list of level, load, file, long, live, latency,
# noise, vocabulary, written; default all nine), BENCH_LONG_MINUTES
# (length of the long recording, default 10; 60 for an hour) and
# BENCH_LONG_RUNS (its runs per figure, default 1: each takes minutes).
#
# Run it on a quiet machine: every figure except the level meter's is wall
# time or memory of whole processes. It takes about sixteen minutes, plus about
# three per run of the ten-minute recording. It starts a
# private PulseAudio virtual microphone of its own (tests/rig/) and stops it
# at the end; a section that cannot run reports "n/a" with the reason, and the
# exit status is 0 whatever the figures say.
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$repo/build}
build=$(cd "$build" 2>/dev/null && pwd || echo "$build")
runs=${BENCH_RUNS:-5}
sections=${BENCH_SECTIONS:-level,load,file,long,live,latency,noise,vocabulary,written}
long_minutes=${BENCH_LONG_MINUTES:-10}
long_runs=${BENCH_LONG_RUNS:-1}

tool=$build/zentrova-dictate
level_bench=$build/bench/level_bench
level_problem=""
if [ ! -x "$level_bench" ] && [ -f "$build/CMakeCache.txt" ]; then
  # An older build folder made before the benchmark existed: build just it.
  cmake --build "$build" --target level_bench >/dev/null 2>&1 ||
    level_problem="level_bench does not build in $build (Google Benchmark: libbenchmark-dev)"
fi
[ -x "$level_bench" ] || level_problem=${level_problem:-"no $level_bench"}

# The model the tool was built with, for the load steps.
model_root=$(sed -n 's/^ZENTROVA_MODEL_ROOT:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null)
model_root=${model_root:-/usr/share/pocketsphinx/model}

rig_env=""
rig_problem=""
rig_dir=""
stop_rig() {
  [ -n "$rig_dir" ] || return 0
  "$repo/tests/rig/stop-pulse.sh" "$rig_dir" >/dev/null 2>&1
  rm -rf "$rig_dir"
}
trap stop_rig EXIT
trap 'exit 130' INT TERM

if [[ ",$sections," == *",live,"* || ",$sections," == *",latency,"* ||
      ",$sections," == *",noise,"* ]]; then
  if [ ! -x "$repo/tests/rig/start-pulse.sh" ]; then
    rig_problem="no tests/rig/start-pulse.sh"
  elif ! command -v pulseaudio >/dev/null; then
    rig_problem="pulseaudio is not installed"
  else
    rig_dir=$(mktemp -d /tmp/zentrova-bench-rig.XXXXXX)
    echo "  ... starting the virtual microphone in $rig_dir" >&2
    if "$repo/tests/rig/start-pulse.sh" "$rig_dir" >"$rig_dir/start.log" 2>&1; then
      rig_env=$rig_dir/env
    else
      rig_problem="the virtual microphone did not start: $(tail -n 1 "$rig_dir/start.log")"
    fi
  fi
fi

python3 -B "$repo/bench/measure.py" --tool "$tool" --runs "$runs" --sections "$sections" \
  --long-minutes "$long_minutes" --long-runs "$long_runs" \
  --level-bench "$level_bench" --level-problem "$level_problem" \
  --load-bench "$build/bench/load_bench" --replay-bench "$build/bench/partials_replay" \
  --model-root "$model_root" \
  --rig-env "$rig_env" --rig-problem "$rig_problem"
status=$?
[ $status -eq 0 ] || echo "bench/run.sh: the driver failed with status $status" >&2
exit 0
