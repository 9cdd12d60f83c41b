"""File transcription against pocketsphinx_continuous -infile on the test
data's read speech: wall and CPU time, peak memory, word error rate."""

import os
import shutil
from dataclasses import dataclass, field

from children import REFERENCE, NotAvailable, Watched, event, is_event
from table import Row, fill_ratio_row, log, mib, seconds, verdict
from wer import LIBRIVOX, edit_distance, word_error_rate, words

FILE_TIMEOUT = 120.0


@dataclass
class Side:
    """One program's rounds: each figure sums (or, for memory, maxes) the
    five recordings of one round."""
    wall: list = field(default_factory=list)
    cpu: list = field(default_factory=list)
    rss: list = field(default_factory=list)
    texts: dict = field(default_factory=dict)  # utterance id -> hypothesis
    problem: str = None


def tool_run(tool, path):
    child = Watched([tool, "--file", path])
    finished = child.wait(FILE_TIMEOUT)
    finals = [event(l) for l in child.stdout_lines() if is_event("final")(l)]
    if finished.status != 0 or not finals:
        out = " ".join(l.text for l in child.stdout_lines()[-2:])
        raise NotAvailable(f"{os.path.basename(path)}: exit {finished.status}, "
                           f"output: {out or 'none'}")
    return finished, finals[-1].get("text", "")


def reference_run(path):
    """pocketsphinx_continuous prints one hypothesis line per utterance it
    finds in the file; together they are its transcript."""
    child = Watched([REFERENCE, "-infile", path])
    finished = child.wait(FILE_TIMEOUT)
    if finished.status != 0:
        raise NotAvailable(f"{os.path.basename(path)}: exit {finished.status}: "
                           f"{child.stderr_tail()}")
    return finished, child.hypothesis()


def one_round(side, run, recordings):
    wall = cpu = 0.0
    rss = 0
    try:
        for name in recordings:
            finished, text = run(os.path.join(LIBRIVOX, name))
            wall += finished.wall
            cpu += finished.cpu
            rss = max(rss, finished.max_rss_kib)
            side.texts.setdefault(name[:-len(".wav")], text)
    except NotAvailable as why:
        side.problem = str(why)
        return
    side.wall.append(wall)
    side.cpu.append(cpu)
    side.rss.append(rss)


def measure(tool, runs, recordings):
    ours, theirs = Side(), Side()
    if not os.access(tool, os.X_OK):
        ours.problem = f"{tool} not built"
    if not shutil.which(REFERENCE):
        theirs.problem = f"{REFERENCE} is not installed"
    runners = {"ours": (ours, lambda path: tool_run(tool, path)),
               "theirs": (theirs, reference_run)}
    for i in range(runs):
        # Alternate who goes first, so a trend in the machine's load is shared.
        for who in (("ours", "theirs") if i % 2 == 0 else ("theirs", "ours")):
            side, run = runners[who]
            if not side.problem:
                one_round(side, run, recordings)
        last = lambda side: seconds(side.wall[-1]) if side.wall else "n/a"
        log(f"file round {i + 1}/{runs}: zentrova-dictate {last(ours)}, {REFERENCE} {last(theirs)}")
    return ours, theirs


def wer_row(ours, theirs, refs, count):
    row = Row("WER, file mode", target="no worse")
    rates = {}
    for who, side in (("ours", ours), ("theirs", theirs)):
        if len(side.texts) == count:
            rates[who] = word_error_rate([(refs[u], side.texts[u]) for u in sorted(side.texts)])
    row.ours = f"{rates['ours'] * 100:.1f} %" if "ours" in rates else f"n/a ({ours.problem})"
    row.theirs = (f"{rates['theirs'] * 100:.1f} %" if "theirs" in rates
                  else f"n/a ({theirs.problem})")
    if len(rates) == 2:
        row.ratio = f"{(rates['ours'] - rates['theirs']) * 100:+.1f} points"
        row.met = verdict(rates["ours"] <= rates["theirs"])
    for utterance in sorted(ours.texts):
        errors = lambda side: (edit_distance(refs[utterance], words(side.texts[utterance]))
                               if utterance in side.texts else "n/a")
        row.notes.append(f"{utterance}: {len(refs[utterance])} words, errors "
                         f"{errors(ours)} vs {errors(theirs)}")
    return row


def rows(tool, runs, refs):
    recordings = (sorted(f for f in os.listdir(LIBRIVOX) if f.endswith(".wav"))
                  if os.path.isdir(LIBRIVOX) else [])
    wall = Row("File mode wall, 5 recordings", target="<= 0.8x")
    cpu = Row("File mode CPU (informative)", target="-")
    rss = Row("Peak RSS, file mode", target="<= 1.1x")
    if not recordings or not refs:
        for row in (wall, cpu, rss):
            row.ours = f"n/a (no recordings in {LIBRIVOX}: pocketsphinx-testdata)"
        return [wall, cpu, rss]
    ours, theirs = measure(tool, runs, recordings)
    fill_ratio_row(wall, (ours.wall, ours.problem), (theirs.wall, theirs.problem), seconds, 0.8)
    wall.notes.insert(0, f"sum over the {len(recordings)} recordings per round; {REFERENCE} "
                         "with its default search settings")
    fill_ratio_row(cpu, (ours.cpu, ours.problem), (theirs.cpu, theirs.problem), seconds)
    cpu.notes.insert(0, "user + system time: less sensitive than wall time to other load")
    fill_ratio_row(rss, (ours.rss, ours.problem), (theirs.rss, theirs.problem), mib, 1.1)
    rss.notes.insert(0, "largest of the recordings per round")
    return [wall, cpu, wer_row(ours, theirs, refs, len(recordings)), rss]
