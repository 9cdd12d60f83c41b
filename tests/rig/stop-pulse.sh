#!/usr/bin/env bash
# Stops the server that start-pulse.sh started in RIG_DIR, if it still runs.
#
#   stop-pulse.sh RIG_DIR
set -uo pipefail

rig_dir=${1:?usage: stop-pulse.sh RIG_DIR}

# The silent player first: it would only complain once the server is gone.
if [ -f "$rig_dir/keeper.pid" ]; then
  kill -TERM "$(cat "$rig_dir/keeper.pid")" 2>/dev/null
  rm -f "$rig_dir/keeper.pid"
fi

pid_file=$rig_dir/runtime/pid
[ -f "$pid_file" ] || exit 0
pid=$(cat "$pid_file")
if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
  kill -TERM "$pid"
  for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && kill -KILL "$pid"
fi
rm -f "$pid_file" "$rig_dir/native"
exit 0
