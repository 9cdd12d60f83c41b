#!/usr/bin/env python3
"""Soak: N live dictations in a row through the PulseAudio virtual microphone
while read speech plays into it in a loop. Each run stops at a random
moment between 0 and 3 s after its ready event, half of them with a "stop"
line and half by closing standard input. Every run must exit 0 with one
ready event and then exactly one final event, only JSON lines, nothing on
standard error, and its final event no later than the 4.0 s drain (plus a
small margin) after the stop.

Every fifth run instead meets a sound server that refuses the client (it
must end with status 4 and the microphone message, before any ready), and
every fifth another one runs the test build of the tool whose model root
holds the shipped model with one file damaged at random (it must end with
status 1 before any ready, or status 3 after it, with its message).

    scripts/soak.sh [N]            N defaults to 300

Environment:
  ZENTROVA_DICTATE  the tool (default: build/zentrova-dictate)
  SOAK_DAMAGED_TOOL the tool built with a model root of its own (default:
                    build/tests/realstack/model/zentrova-dictate-live-root,
                    whose root is live-root/model-root beside it); do not
                    run the model tests meanwhile, they lay out that root
  SOAK_RIG_DIR      a running rig (tests/rig/start-pulse.sh) to use; without
                    one the soak starts its own in a temporary folder
  SOAK_SEED         seed of the random stop times (default: the time)
  SOAK_MARGIN       seconds allowed past the 4.0 s drain (default 0.5)

Prints a line per failed run and per tenth run, then a summary; the exit
status is 1 when a run failed. Standard library only.
"""

import sys

sys.dont_write_bytecode = True  # keep the source folder clean

import json  # noqa: E402
import os  # noqa: E402
import random  # noqa: E402
import shutil  # noqa: E402
import signal  # noqa: E402
import subprocess  # noqa: E402
import tempfile  # noqa: E402
import threading  # noqa: E402
import time  # noqa: E402

from children import NotAvailable, Watched, is_event  # noqa: E402
from live import make_speech, rig_environment  # noqa: E402
from wer import transcripts  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RIG = os.path.join(ROOT, "tests", "rig")
DRAIN = 4.0
READY_TIMEOUT = 30.0
FAILURE_TIMEOUT = 30.0  # a run that is to end on its own
KINDS = {"ready", "level", "partial", "final", "error"}

MICROPHONE_OFF = ("The microphone is off for Zentrova \u2014 turn it on in System Settings "
                  "\u2192 Privacy & Security \u2192 Microphone.")
UNAVAILABLE = "Dictation isn't available on this Mac right now."
NOT_LOADED = "Dictation stopped: The speech recognizer\u2019s model could not be loaded."
SHIPPED = "/usr/share/pocketsphinx/model/en-us"
# Damages the tool can see, each ending with status 1 or 3 (noise inside
# weights or scores, which nothing can tell apart, is left out).
DAMAGES = [(f, d) for f in ["en-us/mdef", "en-us/means", "en-us/variances",
                            "en-us/transition_matrices", "en-us/sendump", "en-us/feat.params",
                            "en-us/noisedict", "en-us.lm.bin", "cmudict-en-us.dict"]
           for d in ["truncated", "emptied", "noisy start"]] + [
    (f, "noisy middle") for f in ["en-us/mdef", "en-us/means", "en-us/variances",
                                  "en-us/transition_matrices", "cmudict-en-us.dict"]]


class Player:
    """Plays the speech into the virtual microphone, over and over, for as
    long as the soak runs."""

    def __init__(self, speech, env):
        self._playing = threading.Event()
        self._playing.set()
        self._current = None
        self._speech, self._env = speech, env
        threading.Thread(target=self._play_forever, daemon=True).start()

    def _play_forever(self):
        while self._playing.is_set():
            self._current = subprocess.Popen(["paplay", "--device=rig_speaker", self._speech],
                                             env=self._env, stdout=subprocess.DEVNULL,
                                             stderr=subprocess.DEVNULL)
            self._current.wait()

    def stop(self):
        self._playing.clear()
        if self._current is not None and self._current.poll() is None:
            self._current.terminate()
            self._current.wait()


def json_value(line):
    """The JSON value on one of the tool's lines; ValueError when there is
    none, or when the line is not UTF-8, as JSON text always is."""
    if line.malformed:
        raise ValueError("not UTF-8")
    return json.loads(line.text)


def stderr_bytes(child):
    return b"".join(line.text.encode() + (b"" if line.unterminated else b"\n")
                    for line in child.lines if line.stream == "err")


def one_run(tool, env, rng, margin, index):
    """Returns (problems, stop-to-final seconds or None, final text, how it
    stopped, seconds from ready to the stop)."""
    by_line = index % 2 == 0
    stop_after = rng.uniform(0.0, 3.0)
    child = Watched([tool, "en-US"], env=env, stdin=True)
    problems = []
    if not child.wait_line(is_event("ready"), READY_TIMEOUT):
        problems.append("no ready event within 30 s")
    else:
        time.sleep(stop_after)  # the user's random moment to stop, not a wait for the tool
    stop_at = child.now()
    try:
        if by_line:
            child.write("stop\n")
    except BrokenPipeError:
        problems.append("standard input closed before the stop")
    child.close_stdin()
    finished = child.wait(DRAIN + margin + 10)
    if child.timed_out:
        problems.append("hung: still running %.1f s after the stop" % (DRAIN + margin + 10))
    events = []
    for line in child.stdout_lines():
        try:
            event = json_value(line)
        except ValueError:
            problems.append("not JSON: %r" % line.text)
            continue
        if not isinstance(event, dict) or event.get("t") not in KINDS or line.unterminated:
            problems.append("not an event line: %r" % line.text)
            continue
        events.append((line.seconds, event))
    if finished.status != 0:
        problems.append("exit status %d" % finished.status)
    err = stderr_bytes(child)
    if err:
        problems.append("standard error: %r" % err[:200])
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
        if latency > DRAIN + margin:
            problems.append("final %.2f s after the stop" % latency)
    how = "stop line" if by_line else "closed input"
    return problems, latency, text, how, stop_after


def lay_out_damaged_model(model_root, damaged, how):
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


def failure_run(tool, env, refusing_env, damaged_tool, rng, index):
    """A run that ends on its own with one error line. Returns (problems, what)."""
    if index % 5 == 3:
        argv, run_env, what = [tool, "en-US"], refusing_env, "refusing server"
        allowed = {4: (MICROPHONE_OFF, False)}  # status: (message, after a ready event)
    else:
        damaged, how = rng.choice(DAMAGES)
        model_root = os.path.join(os.path.dirname(damaged_tool), "live-root", "model-root")
        lay_out_damaged_model(model_root, damaged, how)
        argv, run_env, what = [damaged_tool, "en-US"], env, "%s %s" % (damaged, how)
        allowed = {1: (UNAVAILABLE, False), 3: (NOT_LOADED, True)}
    child = Watched(argv, env=run_env, stdin=True)
    child.close_stdin()
    finished = child.wait(FAILURE_TIMEOUT)
    if child.timed_out:
        return ["hung: still running after 30 s"], what
    problems, events = [], []
    for line in child.stdout_lines():
        try:
            events.append(json_value(line))
        except ValueError:
            problems.append("not JSON: %r" % line.text.encode()[:200])
    err = stderr_bytes(child)
    if err:
        problems.append("standard error: %r" % err[:200])
    if finished.status not in allowed:
        problems.append("exit status %d" % finished.status)
        return problems, what
    message, after_ready = allowed[finished.status]
    kinds_seen = [e.get("t") for e in events if isinstance(e, dict) and e.get("t") != "level"]
    expected = (["ready"] if after_ready else []) + ["error"]
    if kinds_seen != expected:
        problems.append("events %s, expected %s" % (kinds_seen, expected))
    elif events[-1].get("message") != message:
        problems.append("message %r" % events[-1].get("message"))
    return problems, "%s: status %d" % (what, finished.status)


def soak(tool, damaged_tool, runs, env, refusing_env, speech):
    """Runs the soak; returns the number of failed runs."""
    margin = float(os.environ.get("SOAK_MARGIN", "0.5"))
    seed = int(os.environ.get("SOAK_SEED", str(int(time.time()))))
    rng = random.Random(seed)
    player = Player(speech, env)
    failures, latencies, heard = 0, [], 0
    print("soak: %d runs, seed %d, tool %s" % (runs, seed, tool), flush=True)
    began = time.monotonic()
    outcomes = {}
    for index in range(runs):
        if index % 5 >= 3:
            problems, what = failure_run(tool, env, refusing_env, damaged_tool, rng, index)
            outcomes[what] = outcomes.get(what, 0) + 1
            if problems:
                failures += 1
                print("run %d (%s): FAILED: %s" % (index + 1, what, "; ".join(problems)),
                      flush=True)
            elif (index + 1) % 10 == 0:
                print("run %d done" % (index + 1), flush=True)
            continue
        problems, latency, text, how, stop_after = one_run(tool, env, rng, margin, index)
        if latency is not None:
            latencies.append(latency)
        heard += bool(text)
        if problems:
            failures += 1
            print("run %d (%s after %.2f s): FAILED: %s"
                  % (index + 1, how, stop_after, "; ".join(problems)), flush=True)
        elif (index + 1) % 10 == 0:
            print("run %d done" % (index + 1), flush=True)

    player.stop()
    latencies.sort()

    def pct(p):
        if not latencies:
            return float("nan")
        return latencies[min(len(latencies) - 1, int(p * len(latencies)))]
    print("soak summary: runs %d, failures %d, finals with text %d, stop->final max %.3f s, "
          "median %.3f s, p95 %.3f s, wall %.0f s, seed %d"
          % (runs, failures, heard, latencies[-1] if latencies else float("nan"), pct(0.5),
             pct(0.95), time.monotonic() - began, seed), flush=True)
    for what in sorted(outcomes):
        print("  %3d x %s" % (outcomes[what], what), flush=True)
    return failures


def executable(variable, default, hint):
    path = os.environ.get(variable) or default
    if not os.access(path, os.X_OK):
        print("soak.sh: no tool at %s (%s)" % (path, hint), file=sys.stderr)
        sys.exit(2)
    return path


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 and sys.argv[1] else 300
    tool = executable("ZENTROVA_DICTATE", os.path.join(ROOT, "build", "zentrova-dictate"),
                      "build first")
    damaged_tool = executable(
        "SOAK_DAMAGED_TOOL",
        os.path.join(ROOT, "build", "tests", "realstack", "model", "zentrova-dictate-live-root"),
        "build the tests first")
    # An ending by signal still stops the servers and clears the folder.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(128 + signal.SIGTERM))
    work = tempfile.mkdtemp(prefix="zentrova-soak-", dir=os.environ.get("TMPDIR") or "/tmp")
    rig = os.environ.get("SOAK_RIG_DIR", "")
    own_rig = not rig or not os.path.isfile(os.path.join(rig, "env"))
    if own_rig:
        rig = os.path.join(work, "rig")
    refusing = os.path.join(work, "refusing")
    try:
        if own_rig:
            subprocess.run([os.path.join(RIG, "start-pulse.sh"), rig], check=True)
        # Two read-speech utterances with a pause between them, so that stops
        # land in speech and in silence alike.
        speech = make_speech(work, transcripts()).path
        subprocess.run([os.path.join(RIG, "start-guarded-pulse.sh"), refusing, "refusing"],
                       check=True)
        failures = soak(tool, damaged_tool, runs, rig_environment(os.path.join(rig, "env")),
                        rig_environment(os.path.join(refusing, "env")), speech)
    except (subprocess.CalledProcessError, NotAvailable) as problem:
        print("soak: %s" % problem, file=sys.stderr)
        sys.exit(2)
    finally:
        if own_rig:
            subprocess.run([os.path.join(RIG, "stop-pulse.sh"), rig])
        subprocess.run([os.path.join(RIG, "stop-pulse.sh"), refusing])
        if os.path.basename(work).startswith("zentrova-soak-"):
            shutil.rmtree(work, ignore_errors=True)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
