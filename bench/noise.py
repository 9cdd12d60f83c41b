"""Words heard in noise: ten seconds each of steady pink, white and brown
noise, a 50 Hz mains hum, clicks and silence, made with
sox, transcribed with --file and played at ready through the virtual
microphone. Each should give an empty final; the row also counts the words
the live partials showed on the way."""

import os
import subprocess

import latency
from children import NotAvailable, Watched, event, is_event
from live import rig_environment
from table import Row, log, verdict
from wer import words

SECONDS = 10
# sox synth arguments after the length. Noise at a third of full scale; the
# hum at the level of a badly earthed microphone; a 2 ms click every half
# second.
NOISES = {
    "pink noise": ["pinknoise", "vol", "0.3"],
    "white noise": ["whitenoise", "vol", "0.3"],
    "brown noise": ["brownnoise", "vol", "0.3"],
    "mains hum": ["sine", "50", "vol", "0.3"],
    "silence": ["sine", "0", "vol", "0"],
}


def make(folder, name):
    path = os.path.join(folder, name.replace(" ", "-") + ".wav")
    if name == "clicks":
        click = os.path.join(folder, "click.wav")
        steps = [["sox", "-n", "-r", "16000", "-c", "1", "-b", "16", click, "synth", "0.002",
                  "square", "1000", "vol", "0.8", "pad", "0", "0.498"],
                 ["sox", click, path, "repeat", str(SECONDS * 2 - 1)]]
    else:
        steps = [["sox", "-n", "-r", "16000", "-c", "1", "-b", "16", path, "synth", str(SECONDS)]
                 + NOISES[name]]
    for step in steps:
        made = subprocess.run(step, capture_output=True, text=True)
        if made.returncode != 0:
            raise NotAvailable(f"sox could not make {name}: " + made.stderr.strip())
    return path


def file_words(tool, path):
    child = Watched([tool, "--file", path])
    child.wait(120)
    finals = [event(l) for l in child.stdout_lines() if is_event("final")(l)]
    if not finals:
        raise NotAvailable("--file gave no final event")
    return words(finals[-1].get("text", ""))


def live_words(tool, env, path):
    """(the final's words, the most words any partial showed), played at
    ready as the read passage is."""
    partials, final = latency.tool_run(tool, env, path, SECONDS)
    if final is None:
        raise NotAvailable("no final event after stop")
    return words(final), max((len(words(text)) for _, text in partials), default=0)


def rows(tool, runs, rig_env, rig_problem, folder):
    found = []
    env = rig_environment(rig_env) if rig_env else None
    for name in list(NOISES) + ["clicks"]:
        row = Row(f"Words from noise: {name}", target="0 in every final")
        try:
            path = make(folder, name)
            from_file = file_words(tool, path)
            live, shown = [], []
            for i in range(runs if env else 0):
                final, most = live_words(tool, env, path)
                live.append(final)
                shown.append(most)
                log(f"noise {name} run {i + 1}/{runs}: live final {' '.join(final) or '(empty)'}")
            heard = len(from_file) + sum(len(f) for f in live)
            row.ours = f"--file {len(from_file)}, live " + (
                "/".join(str(len(f)) for f in live) if env else f"n/a ({rig_problem})")
            row.met = verdict(heard == 0)
            said = [" ".join(f) for f in [from_file] + live if f]
            if said:
                row.notes.append("heard: " + "; ".join(said))
            if shown:
                row.notes.append("most words a live partial showed, per run: " +
                                 ", ".join(str(n) for n in shown))
        except NotAvailable as why:
            row.ours = f"n/a ({why})"
        found.append(row)
    return found
