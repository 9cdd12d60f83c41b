#!/usr/bin/env bash
# Starts a private PulseAudio server whose default source is a virtual
# microphone: a null sink ("rig_speaker") whose monitor is remapped as the
# source "rig_microphone". Whatever is played into the sink reaches every
# recorder of the microphone at real-time pace, paced by the server's clock.
#
#   start-pulse.sh RIG_DIR
#
# RIG_DIR receives the server's socket (RIG_DIR/native), its runtime files,
# its log and "env", a file of NAME=VALUE lines that a client needs to reach
# the server. Runs as root on a bare machine; PulseAudio warns about root and
# that warning goes to the log.
set -euo pipefail

rig_dir=${1:?usage: start-pulse.sh RIG_DIR}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

"$here/stop-pulse.sh" "$rig_dir" || true
mkdir -p "$rig_dir/runtime" "$rig_dir/home" "$rig_dir/state"
chmod 700 "$rig_dir/runtime"
rig_dir=$(cd "$rig_dir" && pwd)

cat >"$rig_dir/server.pa" <<PA
load-module module-native-protocol-unix socket=$rig_dir/native auth-anonymous=1
load-module module-null-sink sink_name=rig_speaker rate=48000 channels=2 sink_properties=device.description=RigSpeaker
load-module module-remap-source master=rig_speaker.monitor source_name=rig_microphone channels=1 channel_map=mono source_properties=device.description=RigMicrophone
set-default-sink rig_speaker
set-default-source rig_microphone
PA

cat >"$rig_dir/env" <<ENV
PULSE_SERVER=unix:$rig_dir/native
PULSE_RUNTIME_PATH=$rig_dir/runtime
PULSE_STATE_PATH=$rig_dir/state
PULSE_COOKIE=$rig_dir/cookie
ENV

# The server's own environment: private runtime and state folders, so that a
# desktop session's server on the same machine is left alone.
export HOME=$rig_dir/home XDG_RUNTIME_DIR=$rig_dir/runtime XDG_CONFIG_HOME=$rig_dir/home
export PULSE_RUNTIME_PATH=$rig_dir/runtime PULSE_STATE_PATH=$rig_dir/state
export PULSE_COOKIE=$rig_dir/cookie
unset PULSE_SERVER

pulseaudio --daemonize=yes --system=false -n --file="$rig_dir/server.pa" \
  --exit-idle-time=-1 --disallow-exit=yes --use-pid-file=yes \
  --log-target="file:$rig_dir/pulse.log" --log-level=notice \
  >>"$rig_dir/pulse.log" 2>&1

# The daemon's parent returns once the server runs; wait for the socket to
# answer all the same, since a client started right after must find it.
export PULSE_SERVER="unix:$rig_dir/native"
answered=no
for _ in $(seq 1 100); do
  if pactl info >/dev/null 2>&1; then
    answered=yes
    break
  fi
  sleep 0.1
done
if [ "$answered" != yes ]; then
  echo "start-pulse.sh: the server did not answer; see $rig_dir/pulse.log" >&2
  exit 1
fi

# An idle null sink renders in blocks of up to two seconds, so a recorder
# that connects waits that long for its first audio and then lags behind
# what is played. A silent player with a short latency keeps the blocks
# short for as long as the rig runs. Its output goes to the log: the test
# runner waits for every holder of this script's output to let go.
setsid pacat --playback --raw --latency-msec=20 --device=rig_speaker /dev/zero \
  </dev/null >>"$rig_dir/pulse.log" 2>&1 &
echo $! >"$rig_dir/keeper.pid"
for _ in $(seq 1 50); do
  if [ -n "$(pactl list short sink-inputs 2>/dev/null)" ]; then
    # The block the sink was rendering when the player joined still runs
    # its course: let it end before a test records.
    sleep 2.2
    exit 0
  fi
  sleep 0.1
done
echo "start-pulse.sh: the silent player did not connect; see $rig_dir/pulse.log" >&2
exit 1
