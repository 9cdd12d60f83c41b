"""A long recording (the test data's five recordings joined over and over)
against pocketsphinx_continuous -infile: wall time, word error rate, peak
memory and how much output the host must read for the final text."""

import os
import shutil
import subprocess
from dataclasses import dataclass, field

from children import REFERENCE, NotAvailable, Watched, event, is_event
from table import Row, fill_ratio_row, log, mib, seconds, verdict
from wer import LIBRIVOX, edit_distance, words


@dataclass
class Side:
    wall: list = field(default_factory=list)
    rss: list = field(default_factory=list)
    text: str = None            # the first run's transcript
    output_ratio: list = field(default_factory=list)  # stdout bytes / final line bytes
    first_partial: list = field(default_factory=list)  # seconds from launch
    problem: str = None


def make_recording(folder, minutes):
    """Joins the five recordings until `minutes` are reached; returns the
    path and how many times they were joined."""
    clips = sorted(os.path.join(LIBRIVOX, f) for f in os.listdir(LIBRIVOX) if f.endswith(".wav"))
    one_pass = sum(float(subprocess.run(["soxi", "-D", c], capture_output=True, text=True,
                                        check=True).stdout) for c in clips)
    repeats = max(1, round(minutes * 60 / one_pass))
    path = os.path.join(folder, f"long-{minutes:g}min.wav")
    subprocess.run(["sox"] + clips * repeats + [path], check=True, capture_output=True)
    return path, repeats


def tool_run(tool, path, side, timeout):
    child = Watched([tool, "--file", path])
    finished = child.wait(timeout)
    out = child.stdout_lines()
    finals = [event(l) for l in out if is_event("final")(l)]
    if finished.status != 0 or not finals:
        raise NotAvailable(f"exit {finished.status}, output: {out[-1].text[:80] if out else 'none'}")
    total = sum(len(l.text.encode()) + 1 for l in out)
    side.output_ratio.append(total / (len(out[-1].text.encode()) + 1))
    partials = [l for l in out if is_event("partial")(l)]
    if partials:
        side.first_partial.append(partials[0].seconds)
    return finished, finals[-1].get("text", "")


def reference_run(path, side, timeout):
    child = Watched([REFERENCE, "-infile", path])
    finished = child.wait(timeout)
    if finished.status != 0:
        raise NotAvailable(f"exit {finished.status}: {child.stderr_tail()}")
    return finished, child.hypothesis()


def measure(tool, runs, path, timeout):
    ours, theirs = Side(), Side()
    if not os.access(tool, os.X_OK):
        ours.problem = f"{tool} not built"
    if not shutil.which(REFERENCE):
        theirs.problem = f"{REFERENCE} is not installed"
    runners = {"ours": (ours, lambda side: tool_run(tool, path, side, timeout)),
               "theirs": (theirs, lambda side: reference_run(path, side, timeout))}
    for i in range(runs):
        for who in (("ours", "theirs") if i % 2 == 0 else ("theirs", "ours")):
            side, run = runners[who]
            if side.problem:
                continue
            try:
                finished, text = run(side)
            except NotAvailable as why:
                side.problem = str(why)
                continue
            side.wall.append(finished.wall)
            side.rss.append(finished.max_rss_kib)
            if side.text is None:
                side.text = text
        last = lambda side: seconds(side.wall[-1]) if side.wall else "n/a"
        log(f"long file round {i + 1}/{runs}: zentrova-dictate {last(ours)}, {REFERENCE} {last(theirs)}")
    return ours, theirs


def wer_row(label, ours, theirs, reference):
    row = Row(f"WER, {label}", target="no worse")
    rates = {}
    for who, side in (("ours", ours), ("theirs", theirs)):
        if side.text is not None:
            rates[who] = edit_distance(reference, words(side.text)) / len(reference)
    row.ours = f"{rates['ours'] * 100:.1f} %" if "ours" in rates else f"n/a ({ours.problem})"
    row.theirs = f"{rates['theirs'] * 100:.1f} %" if "theirs" in rates else f"n/a ({theirs.problem})"
    if len(rates) == 2:
        row.ratio = f"{(rates['ours'] - rates['theirs']) * 100:+.1f} points"
        row.met = verdict(rates["ours"] <= rates["theirs"])
    row.notes.append(f"{len(reference)} reference words; transcript of the first run")
    return row


def output_row(label, ours):
    row = Row(f"Stdout per final byte, {label}", target="<= 10")
    if not ours.output_ratio:
        row.ours = f"n/a ({ours.problem})"
        return row
    ratio = sorted(ours.output_ratio)[len(ours.output_ratio) // 2]
    row.ours = f"{ratio:.2f}"
    row.met = verdict(ratio <= 10)
    if ours.first_partial:
        row.notes.append("first partial after " + ", ".join(seconds(s) for s in ours.first_partial)
                         + " (target: within 5 s)")
    return row


def rows(tool, runs, refs, minutes, folder):
    label = f"long file ({minutes:g} min)"
    wall = Row(f"Long file wall, {minutes:g} min", target="<= 0.5x")
    rss = Row(f"Peak RSS, {label}", target="<= 2.2x")
    if not os.path.isdir(LIBRIVOX) or not refs or not shutil.which("sox"):
        for row in (wall, rss):
            row.ours = f"n/a (needs {LIBRIVOX} (pocketsphinx-testdata) and sox)"
        return [wall, rss]
    path, repeats = make_recording(folder, minutes)
    # Generous: the reference program decodes at about a fifth of real time.
    ours, theirs = measure(tool, runs, path, timeout=minutes * 60 * 2 + 60)
    fill_ratio_row(wall, (ours.wall, ours.problem), (theirs.wall, theirs.problem), seconds, 0.5)
    wall.notes.insert(0, f"the five recordings joined {repeats} times; {REFERENCE} with its "
                         "default search settings")
    fill_ratio_row(rss, (ours.rss, ours.problem), (theirs.rss, theirs.problem), mib, 2.2)
    reference = [w for _ in range(repeats) for u in sorted(refs) for w in refs[u]]
    return [wall, wer_row(label, ours, theirs, reference), rss, output_row(label, ours)]
