#!/usr/bin/env bash
# Starts a private PulseAudio server that a client cannot use as a
# microphone, for the paths where the tool must tell a refusal from a
# missing device:
#
#   start-guarded-pulse.sh RIG_DIR refusing    trusts only its own cookie,
#       on a TCP port (on its Unix socket it would trust any process of the
#       same user by its credentials); RIG_DIR/env hands the client another
#       cookie, so the server answers "Access denied"
#   start-guarded-pulse.sh RIG_DIR sourceless  accepts any client, has no
#       source at all
#   start-guarded-pulse.sh RIG_DIR forbidden   accepts any client and has a
#       source, but its socket's folder lets no one in (mode 000); root
#       passes anyway unless it runs without CAP_DAC_OVERRIDE
#
# RIG_DIR receives the server's runtime files, its log and "env" (NAME=VALUE
# lines for the client), as with start-pulse.sh; stop-pulse.sh stops it.
set -euo pipefail

rig_dir=${1:?usage: start-guarded-pulse.sh RIG_DIR refusing|sourceless|forbidden}
kind=${2:?usage: start-guarded-pulse.sh RIG_DIR refusing|sourceless|forbidden}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

"$here/stop-pulse.sh" "$rig_dir" || true
mkdir -p "$rig_dir/runtime" "$rig_dir/home" "$rig_dir/state"
chmod 700 "$rig_dir/runtime"
rig_dir=$(cd "$rig_dir" && pwd)
head -c 256 /dev/urandom >"$rig_dir/cookie"
head -c 256 /dev/urandom >"$rig_dir/wrong-cookie"

export HOME=$rig_dir/home XDG_RUNTIME_DIR=$rig_dir/runtime XDG_CONFIG_HOME=$rig_dir/home
export PULSE_RUNTIME_PATH=$rig_dir/runtime PULSE_STATE_PATH=$rig_dir/state
export PULSE_COOKIE=$rig_dir/cookie
unset PULSE_SERVER

start_server() {
  pulseaudio --daemonize=yes --system=false -n --file="$rig_dir/server.pa" \
    --exit-idle-time=-1 --disallow-exit=yes --use-pid-file=yes \
    --log-target="file:$rig_dir/pulse.log" --log-level=notice \
    >>"$rig_dir/pulse.log" 2>&1
}

answers() {
  for _ in $(seq 1 50); do
    PULSE_SERVER=$1 pactl info >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

case $kind in
  refusing)
    # A free port is not known in advance (other rigs may run): try a few.
    for _ in $(seq 1 10); do
      port=$((20000 + RANDOM % 30000))
      cat >"$rig_dir/server.pa" <<PA
load-module module-native-protocol-tcp listen=127.0.0.1 port=$port auth-anonymous=0 auth-cookie-enabled=1 auth-cookie=$rig_dir/cookie
load-module module-null-sink sink_name=guarded_speaker
PA
      start_server || continue
      if answers "tcp:127.0.0.1:$port"; then
        printf 'PULSE_SERVER=tcp:127.0.0.1:%s\nPULSE_COOKIE=%s\n' "$port" "$rig_dir/wrong-cookie" \
          >"$rig_dir/env"
        exit 0
      fi
      "$here/stop-pulse.sh" "$rig_dir" || true
    done
    ;;
  sourceless)
    printf 'load-module module-native-protocol-unix socket=%s auth-anonymous=1\n' \
      "$rig_dir/native" >"$rig_dir/server.pa"
    if start_server && answers "unix:$rig_dir/native"; then
      printf 'PULSE_SERVER=unix:%s\nPULSE_COOKIE=%s\n' "$rig_dir/native" "$rig_dir/cookie" \
        >"$rig_dir/env"
      exit 0
    fi
    ;;
  forbidden)
    mkdir -p "$rig_dir/locked"
    chmod 755 "$rig_dir/locked"
    cat >"$rig_dir/server.pa" <<PA
load-module module-native-protocol-unix socket=$rig_dir/locked/native auth-anonymous=1
load-module module-null-sink sink_name=forbidden_speaker
PA
    if start_server && answers "unix:$rig_dir/locked/native"; then
      chmod 000 "$rig_dir/locked"
      printf 'PULSE_SERVER=unix:%s\nPULSE_COOKIE=%s\n' "$rig_dir/locked/native" "$rig_dir/cookie" \
        >"$rig_dir/env"
      exit 0
    fi
    ;;
  *)
    echo "start-guarded-pulse.sh: unknown kind $kind" >&2
    exit 2
    ;;
esac
echo "start-guarded-pulse.sh: the server did not answer; see $rig_dir/pulse.log" >&2
exit 1
