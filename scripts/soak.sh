#!/usr/bin/env bash
# Soak: N live dictations in a row through the PulseAudio virtual microphone
# while read speech plays into it in a loop. Each run stops at a random
# moment between 0 and 3 s after its ready event, half of them with a "stop"
# line and half by closing standard input. Every run must exit 0 with one
# ready event and then exactly one final event, only JSON lines, nothing on
# standard error, and its final event no later than the 4.0 s drain (plus a
# small margin) after the stop.
#
# Every fifth run instead meets a sound server that refuses the client (it
# must end with status 4 and the microphone message, before any ready), and
# every fifth another one runs the test build of the tool whose model root
# holds the shipped model with one file damaged at random (it must end with
# status 1 before any ready, or status 3 after it, with its message).
#
#   scripts/soak.sh [N]            N defaults to 300
#
# Environment:
#   ZENTROVA_DICTATE  the tool (default: build/zentrova-dictate)
#   SOAK_DAMAGED_TOOL the tool built with a model root of its own (default:
#                     build/tests/realstack/model/zentrova-dictate-live-root,
#                     whose root is live-root/model-root beside it); do not
#                     run the model tests meanwhile, they lay out that root
#   SOAK_RIG_DIR      a running rig (tests/rig/start-pulse.sh) to use; without
#                     one the script starts its own in a temporary folder
#   SOAK_SEED         seed of the random stop times (default: the time)
#   SOAK_MARGIN       seconds allowed past the 4.0 s drain (default 0.5)
set -euo pipefail

runs=${1:-300}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tool=${ZENTROVA_DICTATE:-$root/build/zentrova-dictate}
[ -x "$tool" ] || { echo "soak.sh: no tool at $tool (build first)" >&2; exit 2; }
damaged_tool=${SOAK_DAMAGED_TOOL:-$root/build/tests/realstack/model/zentrova-dictate-live-root}
[ -x "$damaged_tool" ] || { echo "soak.sh: no tool at $damaged_tool (build the tests first)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zentrova-soak-XXXXXX")
rig=${SOAK_RIG_DIR:-}
own_rig=no
cleanup() {
  if [ "$own_rig" = yes ]; then "$root/tests/rig/stop-pulse.sh" "$rig" || true; fi
  "$root/tests/rig/stop-pulse.sh" "$work/refusing" || true
  case "$work" in */zentrova-soak-*) rm -rf "$work" ;; esac
}
trap cleanup EXIT

if [ -z "$rig" ] || ! [ -f "$rig/env" ]; then
  rig=$work/rig
  own_rig=yes
  "$root/tests/rig/start-pulse.sh" "$rig"
fi

# The recording: two read-speech utterances with a pause between them, so
# that stops land in speech and in silence alike.
librivox=/usr/share/pocketsphinx/test/data/librivox
sox "$librivox/sense_and_sensibility_01_austen_64kb-0870.wav" \
    "$librivox/sense_and_sensibility_01_austen_64kb-0930.wav" \
    "$work/speech.wav" pad 0.3 0.7

"$root/tests/rig/start-guarded-pulse.sh" "$work/refusing" refusing

python3 - "$tool" "$rig/env" "$work/speech.wav" "$runs" "$work/refusing/env" "$damaged_tool" <<'PY'
import json, os, random, shutil, subprocess, sys, threading, time

tool, env_file, speech, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
refusing_env_file, damaged_tool = sys.argv[5], sys.argv[6]
drain = 4.0
margin = float(os.environ.get("SOAK_MARGIN", "0.5"))
seed = int(os.environ.get("SOAK_SEED", str(int(time.time()))))
rng = random.Random(seed)
kinds = {"ready", "level", "partial", "final", "error"}

def environment(path):
    result = dict(os.environ)
    with open(path) as f:
        for line in f:
            name, _, value = line.rstrip("\n").partition("=")
            if name:
                result[name] = value
    return result
env = environment(env_file)
refusing_env = environment(refusing_env_file)

# Speech plays into the virtual microphone for as long as the soak runs.
playing = threading.Event()
playing.set()
player = [None]
def play_forever():
    while playing.is_set():
        player[0] = subprocess.Popen(["paplay", "--device=rig_speaker", speech], env=env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        player[0].wait()
threading.Thread(target=play_forever, daemon=True).start()

def one_run(index):
    """Returns (problems, stop-to-final seconds or None, final text)."""
    by_line = index % 2 == 0
    stop_after = rng.uniform(0.0, 3.0)
    started = time.monotonic()
    child = subprocess.Popen([tool, "en-US"], env=env, stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    lines, err = [], []
    ready = threading.Event()
    def read_out():
        for raw in child.stdout:
            lines.append((time.monotonic(), raw))
            if b'"ready"' in raw:
                ready.set()
        ready.set()  # output ended: stop waiting for a ready event
    def read_err():
        err.append(child.stderr.read())
    readers = [threading.Thread(target=read_out), threading.Thread(target=read_err)]
    for r in readers:
        r.start()
    problems = []
    if not ready.wait(30) or not any(b'"ready"' in raw for _, raw in lines):
        problems.append("no ready event within 30 s")
    else:
        time.sleep(stop_after)  # the user's random moment to stop, not a wait for the tool
    stop_at = time.monotonic()
    try:
        if by_line:
            child.stdin.write(b"stop\n")
            child.stdin.flush()
        child.stdin.close()
    except BrokenPipeError:
        problems.append("standard input closed before the stop")
    try:
        child.wait(drain + margin + 10)
    except subprocess.TimeoutExpired:
        child.kill()
        child.wait()
        problems.append("hung: still running %.1f s after the stop" % (drain + margin + 10))
    for r in readers:
        r.join()
    events = []
    for at, raw in lines:
        text = raw.decode("utf-8", "replace").rstrip("\n")
        try:
            event = json.loads(raw)
        except ValueError:
            problems.append("not JSON: %r" % text)
            continue
        if not isinstance(event, dict) or event.get("t") not in kinds or raw.count(b"\n") != 1:
            problems.append("not an event line: %r" % text)
            continue
        events.append((at, event))
    if child.returncode != 0:
        problems.append("exit status %d" % child.returncode)
    if err and err[0]:
        problems.append("standard error: %r" % err[0][:200])
    readies = [i for i, (_, e) in enumerate(events) if e["t"] == "ready"]
    finals = [i for i, (_, e) in enumerate(events) if e["t"] == "final"]
    errors = [e for _, e in events if e["t"] == "error"]
    if len(readies) != 1:
        problems.append("%d ready events" % len(readies))
    if len(finals) != 1:
        problems.append("%d final events" % len(finals))
    if errors:
        problems.append("error event: %s" % errors[0].get("message"))
    latency, text = None, ""
    if finals:
        at, final = events[finals[0]]
        text = final.get("text", "")
        latency = at - stop_at
        if readies and finals[0] < readies[0]:
            problems.append("final before ready")
        if latency > drain + margin:
            problems.append("final %.2f s after the stop" % latency)
    how = "stop line" if by_line else "closed input"
    return problems, latency, text, how, stop_after, time.monotonic() - started

MICROPHONE_OFF = ("The microphone is off for Zentrova \u2014 turn it on in System Settings "
                  "\u2192 Privacy & Security \u2192 Microphone.")
UNAVAILABLE = "Dictation isn't available on this Mac right now."
NOT_LOADED = "Dictation stopped: The speech recognizer\u2019s model could not be loaded."
SHIPPED = "/usr/share/pocketsphinx/model/en-us"
model_root = os.path.join(os.path.dirname(damaged_tool), "live-root", "model-root")
# Damages the tool can see, each ending with status 1 or 3 (noise inside
# weights or scores, which nothing can tell apart, is left out).
DAMAGES = [(f, d) for f in ["en-us/mdef", "en-us/means", "en-us/variances",
                            "en-us/transition_matrices", "en-us/sendump", "en-us/feat.params",
                            "en-us/noisedict", "en-us.lm.bin", "cmudict-en-us.dict"]
           for d in ["truncated", "emptied", "noisy start"]] + [
    (f, "noisy middle") for f in ["en-us/mdef", "en-us/means", "en-us/variances",
                                  "en-us/transition_matrices", "cmudict-en-us.dict"]]

def lay_out_damaged_model(damaged, how):
    if os.path.basename(model_root) != "model-root":
        raise SystemExit("soak: refusing to clear %s" % model_root)
    shutil.rmtree(model_root, ignore_errors=True)
    os.makedirs(os.path.join(model_root, "en-us", "en-us"))
    for folder, _, names in os.walk(SHIPPED):
        for name in names:
            relative = os.path.relpath(os.path.join(folder, name), SHIPPED)
            target = os.path.join(model_root, "en-us", relative)
            if relative != damaged:
                os.symlink(os.path.join(folder, name), target)
                continue
            shutil.copyfile(os.path.join(folder, name), target)
            size = os.path.getsize(target)
            with open(target, "r+b") as f:
                if how in ("truncated", "emptied"):
                    f.truncate(size // 2 if how == "truncated" else 0)
                else:
                    f.seek(0 if how == "noisy start" else size // 2)
                    f.write(os.urandom(64 if how == "noisy start" else 4096))

def failure_run(index):
    """A run that ends on its own with one error line. Returns (problems, what)."""
    if index % 5 == 3:
        argv, run_env, what = [tool, "en-US"], refusing_env, "refusing server"
        allowed = {4: (MICROPHONE_OFF, False)}  # status: (message, after a ready event)
    else:
        damaged, how = rng.choice(DAMAGES)
        lay_out_damaged_model(damaged, how)
        argv, run_env, what = [damaged_tool, "en-US"], env, "%s %s" % (damaged, how)
        allowed = {1: (UNAVAILABLE, False), 3: (NOT_LOADED, True)}
    child = subprocess.Popen(argv, env=run_env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE)
    try:
        out, err = child.communicate(timeout=30)
    except subprocess.TimeoutExpired:
        child.kill()
        child.communicate()
        return ["hung: still running after 30 s"], what
    problems, events = [], []
    for raw in out.splitlines():
        try:
            events.append(json.loads(raw))
        except ValueError:
            problems.append("not JSON: %r" % raw[:200])
    if err:
        problems.append("standard error: %r" % err[:200])
    if child.returncode not in allowed:
        problems.append("exit status %d" % child.returncode)
        return problems, what
    message, after_ready = allowed[child.returncode]
    kinds_seen = [e.get("t") for e in events if isinstance(e, dict) and e.get("t") != "level"]
    expected = (["ready"] if after_ready else []) + ["error"]
    if kinds_seen != expected:
        problems.append("events %s, expected %s" % (kinds_seen, expected))
    elif events[-1].get("message") != message:
        problems.append("message %r" % events[-1].get("message"))
    return problems, "%s: status %d" % (what, child.returncode)

failures, latencies, heard = 0, [], 0
print("soak: %d runs, seed %d, tool %s" % (runs, seed, tool), flush=True)
began = time.monotonic()
outcomes = {}
for index in range(runs):
    if index % 5 >= 3:
        problems, what = failure_run(index)
        outcomes[what] = outcomes.get(what, 0) + 1
        if problems:
            failures += 1
            print("run %d (%s): FAILED: %s" % (index + 1, what, "; ".join(problems)), flush=True)
        elif (index + 1) % 10 == 0:
            print("run %d done" % (index + 1), flush=True)
        continue
    problems, latency, text, how, stop_after, took = one_run(index)
    if latency is not None:
        latencies.append(latency)
    heard += bool(text)
    if problems:
        failures += 1
        print("run %d (%s after %.2f s): FAILED: %s" % (index + 1, how, stop_after, "; ".join(problems)),
              flush=True)
    elif (index + 1) % 10 == 0:
        print("run %d done" % (index + 1), flush=True)

playing.clear()
if player[0] is not None and player[0].poll() is None:
    player[0].terminate()
    player[0].wait()
latencies.sort()
def pct(p):
    return latencies[min(len(latencies) - 1, int(p * len(latencies)))] if latencies else float("nan")
print("soak summary: runs %d, failures %d, finals with text %d, stop->final max %.3f s, "
      "median %.3f s, p95 %.3f s, wall %.0f s, seed %d"
      % (runs, failures, heard, latencies[-1] if latencies else float("nan"), pct(0.5), pct(0.95),
         time.monotonic() - began, seed), flush=True)
for what in sorted(outcomes):
    print("  %3d x %s" % (outcomes[what], what), flush=True)
sys.exit(1 if failures else 0)
PY
