#!/usr/bin/env python3
"""Measures zentrova-dictate against pocketsphinx_continuous (same engine, same
model) and prints one comparison table. bench/run.sh starts the virtual
microphone and calls this; see there for the arguments.

Every figure is the median of several runs, and each comparison is measured
in the same invocation with the two sides interleaved run by run, so drift
in the machine's load falls on both. Each section reports "n/a" with its
reason instead of failing: one missing piece must not hide the others.
Standard library only.
"""

import argparse
import json
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from dataclasses import dataclass, field

LIBRIVOX = "/usr/share/pocketsphinx/test/data/librivox"
REFERENCE = "pocketsphinx_continuous"
READY_TIMEOUT = 20.0  # a cold model read on a slow disk stays well inside
EXIT_TIMEOUT = 15.0


class NotAvailable(Exception):
    """A figure that cannot be measured here, with the reason as message."""


# ---------------------------------------------------------------- processes

@dataclass
class Line:
    seconds: float  # since launch
    stream: str     # "out" or "err"
    text: str


@dataclass
class Finished:
    status: int          # exit status, or -signal
    wall: float          # launch to exit, seconds
    cpu: float           # user + system, seconds
    max_rss_kib: int     # peak resident set, as the kernel counts it


class Watched:
    """A child whose output lines are stamped as they arrive. A reader thread
    per stream keeps the pipes drained, so a chatty child (level events) never
    blocks on a full pipe while the driver sleeps."""

    def __init__(self, argv, env=None, stdin=False):
        self.lines = []
        self._changed = threading.Condition()
        self._readers = []
        self.launched = time.perf_counter()
        self.proc = subprocess.Popen(
            argv, env=env, stdin=subprocess.PIPE if stdin else subprocess.DEVNULL,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        for stream, name in ((self.proc.stdout, "out"), (self.proc.stderr, "err")):
            reader = threading.Thread(target=self._read, args=(stream, name), daemon=True)
            reader.start()
            self._readers.append(reader)
        self.finished = None

    def now(self):
        return time.perf_counter() - self.launched

    def _read(self, stream, name):
        pending = b""
        fd = stream.fileno()
        while True:
            chunk = os.read(fd, 65536)
            stamp = self.now()
            if not chunk:
                break
            pending += chunk
            *whole, pending = pending.split(b"\n")
            with self._changed:
                for raw in whole:
                    self.lines.append(Line(stamp, name, raw.decode("utf-8", "replace")))
                self._changed.notify_all()
        with self._changed:
            if pending:
                self.lines.append(Line(self.now(), name, pending.decode("utf-8", "replace")))
            self._changed.notify_all()

    def wait_line(self, predicate, timeout, after=0):
        """The first line from index `after` on that satisfies `predicate`,
        as (index, line), or None once `timeout` seconds have passed."""
        deadline = time.perf_counter() + timeout
        with self._changed:
            index = after
            while True:
                while index < len(self.lines):
                    if predicate(self.lines[index]):
                        return index, self.lines[index]
                    index += 1
                left = deadline - time.perf_counter()
                if left <= 0 or (self.proc.poll() is not None and
                                 not any(r.is_alive() for r in self._readers)):
                    return None
                self._changed.wait(min(left, 0.05))

    def write(self, text):
        """Writes to the child's stdin; returns the time since launch just
        after the bytes were handed to the pipe."""
        self.proc.stdin.write(text.encode())
        self.proc.stdin.flush()
        return self.now()

    def wait(self, timeout=EXIT_TIMEOUT, interrupt=None):
        """Reaps the child with its resource usage. `interrupt` (a signal) is
        sent first; a child still there after `timeout` is killed."""
        if self.finished:
            return self.finished
        if interrupt is not None and self.proc.poll() is None:
            self.proc.send_signal(interrupt)
        deadline = time.perf_counter() + timeout
        while True:
            pid, wait_status, usage = os.wait4(self.proc.pid, os.WNOHANG)
            if pid:
                break
            if time.perf_counter() > deadline:
                self.proc.kill()
                deadline = float("inf")
            time.sleep(0.002)
        wall = self.now()
        # Popen must not try to reap the pid a second time.
        self.proc.returncode = os.waitstatus_to_exitcode(wait_status)
        for reader in self._readers:
            reader.join(5)
        for stream in (self.proc.stdin, self.proc.stdout, self.proc.stderr):
            if stream:
                try:
                    stream.close()
                except OSError:
                    pass  # a child gone before reading its stdin
        self.finished = Finished(self.proc.returncode, wall, usage.ru_utime + usage.ru_stime,
                                 usage.ru_maxrss)
        return self.finished

    def stdout_lines(self):
        return [l for l in self.lines if l.stream == "out"]

    def stderr_tail(self, count=3):
        err = [l.text for l in self.lines if l.stream == "err"]
        return " | ".join(err[-count:])


def event(line):
    """The JSON object on a stdout line of the tool, or None."""
    if line.stream != "out":
        return None
    try:
        parsed = json.loads(line.text)
    except ValueError:
        return None
    return parsed if isinstance(parsed, dict) else None


def is_event(kind):
    return lambda line: (event(line) or {}).get("t") == kind


# ------------------------------------------------------------- word errors

def words(text):
    """Lower-case words without punctuation or sentence markers. "mr" and
    "mister" are one word: the transcripts spell it out, the dictionary
    does not."""
    found = re.findall(r"[a-z0-9']+", text.lower().replace("<s>", " ").replace("</s>", " "))
    return ["mister" if w == "mr" else w for w in found]


def edit_distance(reference, hypothesis):
    previous = list(range(len(hypothesis) + 1))
    for i, ref_word in enumerate(reference, 1):
        current = [i]
        for j, hyp_word in enumerate(hypothesis, 1):
            current.append(min(previous[j - 1] + (ref_word != hyp_word),
                               previous[j] + 1, current[j - 1] + 1))
        previous = current
    return previous[-1]


def transcripts():
    """Utterance id -> reference words, from the test data's transcription."""
    found = {}
    with open(os.path.join(LIBRIVOX, "transcription"), encoding="utf-8") as listing:
        for entry in listing:
            match = re.match(r"(.*)\((\S+)\)\s*$", entry)
            if match:
                found[match.group(2)] = words(match.group(1))
    return found


def word_error_rate(pairs):
    """Corpus word error rate over (reference words, hypothesis text) pairs:
    all errors over all reference words, so short utterances weigh less."""
    errors = sum(edit_distance(ref, words(hyp)) for ref, hyp in pairs)
    total = sum(len(ref) for ref, _ in pairs)
    return errors / total


# ----------------------------------------------------------------- results

@dataclass
class Row:
    label: str
    ours: str = "n/a"
    theirs: str = ""
    ratio: str = ""
    target: str = ""
    met: str = ""
    notes: list = field(default_factory=list)


def median(values):
    return statistics.median(values) if values else None


def spread(values, unit_format):
    return "runs: " + ", ".join(unit_format(v) for v in values)


def ms(seconds):
    return f"{seconds * 1000:.0f} ms" if seconds >= 0.01 else f"{seconds * 1000:.1f} ms"


def mib(kib):
    return f"{kib / 1024:.1f} MiB"


def verdict(ok):
    return "yes" if ok else "NO"


def times(ratio, limit):
    """A ratio with enough digits that it never reads as equal to its limit
    while missing it."""
    return f"{ratio:.2f}x" if round(ratio, 2) != limit else f"{ratio:.3f}x"


# --------------------------------------------------------- live (mic) runs

@dataclass
class LiveRun:
    ready: float = None        # launch to ready (s)
    first_level: float = None  # launch to the first level event (s)
    stop_to_final: float = None
    text: str = None
    finished: Finished = None
    problem: str = None


def play(recording, env):
    return subprocess.Popen(["paplay", "--device=rig_speaker", recording], env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def finish_playback(player, seconds):
    try:
        player.wait(seconds + 10)
    except subprocess.TimeoutExpired:
        player.kill()
        player.wait()
        raise NotAvailable("paplay did not finish the recording in time")
    if player.returncode != 0:
        raise NotAvailable("paplay failed: " + player.stderr.read().decode(errors="replace").strip())


def live_tool_run(tool, env, recording, seconds, tail):
    run = LiveRun()
    child = Watched([tool, "en-US"], env=env, stdin=True)
    try:
        found = child.wait_line(is_event("ready"), READY_TIMEOUT)
        if not found:
            fin = child.wait(2, interrupt=signal.SIGTERM)
            out = " ".join(l.text for l in child.stdout_lines()[-2:])
            raise NotAvailable(f"no ready event within {READY_TIMEOUT:.0f} s "
                               f"(exit {fin.status}; last output: {out or 'none'})")
        run.ready = found[1].seconds
        player = play(recording, env)
        finish_playback(player, seconds)
        time.sleep(tail)
        # The speaker has finished: what follows is the host's wait.
        stopped = child.write("stop\n")
        found = child.wait_line(lambda l: l.seconds >= stopped and is_event("final")(l), 6.0)
        if found:
            run.stop_to_final = found[1].seconds - stopped
            run.text = event(found[1]).get("text", "")
        else:
            errors = [l.text for l in child.stdout_lines() if is_event("error")(l)]
            run.problem = "no final event within 6 s of stop" + (
                f" ({errors[-1]})" if errors else "")
        first = child.wait_line(is_event("level"), 0)
        run.first_level = first[1].seconds if first else None
    finally:
        # Closing stdin ends a dictation the way a host's exit does.
        if child.proc.stdin and not child.proc.stdin.closed:
            try:
                child.proc.stdin.close()
            except OSError:
                pass  # already gone
        run.finished = child.wait(EXIT_TIMEOUT)
    return run


def reference_hypothesis(child, after):
    return " ".join(l.text for l in child.lines[after:] if l.stream == "out" and l.text.strip())


def live_reference_run(env, recording, seconds, tail):
    """pocketsphinx_continuous on the same microphone. It has no stop command:
    once the recording has played it is given time to close the utterance on
    its own silence detection (for its word error rate), then interrupted,
    which is how its users end it."""
    run = LiveRun()
    child = Watched([REFERENCE, "-inmic", "yes"], env=env)
    try:
        ready_line = lambda l: l.stream == "err" and "Ready...." in l.text
        found = child.wait_line(ready_line, READY_TIMEOUT)
        if not found:
            fin = child.wait(2, interrupt=signal.SIGTERM)
            raise NotAvailable(f"no \"Ready....\" within {READY_TIMEOUT:.0f} s "
                               f"(exit {fin.status}: {child.stderr_tail()})")
        run.ready = found[1].seconds
        start = found[0] + 1
        player = play(recording, env)
        finish_playback(player, seconds)
        time.sleep(tail)
        # It prints "Ready...." again once it has decoded an utterance and
        # listens for the next one.
        listening = child.wait_line(lambda l: "Listening..." in l.text, 0, start)
        if listening:
            child.wait_line(ready_line, 10.0, listening[0] + 1)
        run.text = reference_hypothesis(child, start)
    finally:
        run.finished = child.wait(5, interrupt=signal.SIGINT)
    return run


def make_live_recording(folder, refs):
    """Two read utterances with a short lead-in and tail, so that both
    recognizers see speech start and end."""
    first, second = "sense_and_sensibility_01_austen_64kb-0870", "sense_and_sensibility_01_austen_64kb-0930"
    path = os.path.join(folder, "live-speech.wav")
    made = subprocess.run(["sox", f"{LIBRIVOX}/{first}.wav", f"{LIBRIVOX}/{second}.wav", path,
                           "pad", "0.3", "0.7"], capture_output=True, text=True)
    if made.returncode != 0:
        raise NotAvailable("sox could not make the live recording: " + made.stderr.strip())
    length = subprocess.run(["soxi", "-D", path], capture_output=True, text=True)
    return path, float(length.stdout), refs[first] + refs[second]


def live_section(args, refs, folder):
    rows = {}
    if not args.rig_env:
        reason = args.rig_problem or "no virtual microphone"
        raise NotAvailable(reason)
    env = dict(os.environ)
    with open(args.rig_env, encoding="utf-8") as settings:
        for entry in settings:
            name, _, value = entry.strip().partition("=")
            if name:
                env[name] = value
    recording, seconds, ref_words = make_live_recording(folder, refs)
    ours, theirs = [], []
    ours_problem = theirs_problem = None
    have_reference = shutil.which(REFERENCE) is not None
    for i in range(args.runs):
        # Alternate who goes first, so a trend in the machine's load is shared.
        order = ("ours", "theirs") if i % 2 == 0 else ("theirs", "ours")
        for side in order:
            try:
                if side == "ours" and not ours_problem:
                    ours.append(live_tool_run(args.tool, env, recording, seconds, args.tail))
                    log(f"live run {i + 1}/{args.runs}: zentrova-dictate "
                        f"ready {ms(ours[-1].ready)}, stop->final "
                        f"{ms(ours[-1].stop_to_final) if ours[-1].stop_to_final is not None else 'n/a'}")
                if side == "theirs" and have_reference and not theirs_problem:
                    theirs.append(live_reference_run(env, recording, seconds, args.tail))
                    log(f"live run {i + 1}/{args.runs}: {REFERENCE} ready {ms(theirs[-1].ready)}")
            except NotAvailable as why:
                if side == "ours":
                    ours_problem = str(why)
                else:
                    theirs_problem = str(why)
                log(f"live run {i + 1}/{args.runs}: {side}: {why}")
    if not have_reference:
        theirs_problem = f"{REFERENCE} is not installed"
    return ours, theirs, ours_problem, theirs_problem, ref_words


def live_rows(args, refs, folder):
    try:
        ours, theirs, ours_problem, theirs_problem, ref_words = live_section(args, refs, folder)
    except NotAvailable as why:
        na = f"n/a ({why})"
        return [Row("Launch -> ready, live", na, "", "", "<= 100 ms and >= 4x sooner"),
                Row("Stop -> final, live, speaker done", na, "", "", "<= 250 ms"),
                Row("Peak RSS, live", na, "", "", "<= 1.1x")]

    ready = Row("Launch -> ready, live", target="<= 100 ms and >= 4x sooner")
    our_ready = [r.ready for r in ours if r.ready is not None]
    their_ready = [r.ready for r in theirs if r.ready is not None]
    if our_ready:
        ready.ours = ms(median(our_ready))
        ready.notes.append("zentrova-dictate " + spread(our_ready, ms))
    else:
        ready.ours = f"n/a ({ours_problem})"
    if their_ready:
        ready.theirs = ms(median(their_ready)) + ' ("Ready....")'
        ready.notes.append(f"{REFERENCE} " + spread(their_ready, ms))
    else:
        ready.theirs = f"n/a ({theirs_problem})"
    if our_ready and their_ready:
        sooner = median(their_ready) / median(our_ready)
        ready.ratio = f"{sooner:.1f}x sooner"
        ready.met = verdict(median(our_ready) <= 0.100 and sooner >= 4)
    levels = [r.first_level for r in ours if r.first_level is not None]
    if levels:
        ready.notes.append("zentrova-dictate launch -> first level event " + spread(levels, ms))

    stop = Row("Stop -> final, live, speaker done", target="<= 250 ms")
    stops = [r.stop_to_final for r in ours if r.stop_to_final is not None]
    problems = [r.problem for r in ours if r.problem]
    if stops:
        stop.ours = ms(median(stops))
        stop.theirs = "(no stop command)"
        stop.met = verdict(median(stops) <= 0.250 and not problems)
        stop.notes.append("zentrova-dictate " + spread(stops, ms))
    else:
        stop.ours = f"n/a ({problems[0] if problems else ours_problem})"
    if problems:
        stop.notes.append(f"{len(problems)} of {len(ours)} runs: {problems[0]}")

    wer = Row("WER, live (informative)", target="-")
    our_texts = [r.text for r in ours if r.text is not None]
    their_texts = [r.text for r in theirs if r.text is not None]
    if our_texts:
        wer.ours = f"{word_error_rate([(ref_words, t) for t in our_texts]) * 100:.1f} %"
        wer.notes.append("zentrova-dictate final: " + our_texts[0])
    if their_texts:
        wer.theirs = f"{word_error_rate([(ref_words, t) for t in their_texts]) * 100:.1f} %"
        wer.notes.append(f"{REFERENCE}: " + their_texts[0])

    rss = Row("Peak RSS, live", target="<= 1.1x")
    our_rss = [r.finished.max_rss_kib for r in ours if r.finished and r.ready is not None]
    their_rss = [r.finished.max_rss_kib for r in theirs if r.finished and r.ready is not None]
    fill_ratio_row(rss, our_rss, their_rss, mib, 1.1, ours_problem, theirs_problem)
    return [ready, stop, wer, rss]


def fill_ratio_row(row, our_values, their_values, unit, limit, ours_problem, theirs_problem):
    """A row whose target is ours / theirs <= limit."""
    if our_values:
        row.ours = unit(median(our_values))
        row.notes.append("zentrova-dictate " + spread(our_values, unit))
    else:
        row.ours = f"n/a ({ours_problem})"
    if their_values:
        row.theirs = unit(median(their_values))
        row.notes.append(f"{REFERENCE} " + spread(their_values, unit))
    else:
        row.theirs = f"n/a ({theirs_problem})"
    if our_values and their_values:
        ratio = median(our_values) / median(their_values)
        row.ratio = times(ratio, limit)
        row.met = verdict(ratio <= limit)


# --------------------------------------------------------------- file mode

def file_tool_run(tool, path):
    child = Watched([tool, "--file", path])
    fin = child.wait(120)
    finals = [event(l) for l in child.stdout_lines() if is_event("final")(l)]
    if fin.status != 0 or not finals:
        out = " ".join(l.text for l in child.stdout_lines()[-2:])
        raise NotAvailable(f"{os.path.basename(path)}: exit {fin.status}, output: {out or 'none'}")
    return fin, finals[-1].get("text", "")


def file_reference_run(path):
    child = Watched([REFERENCE, "-infile", path])
    fin = child.wait(120)
    if fin.status != 0:
        raise NotAvailable(f"{os.path.basename(path)}: exit {fin.status}: {child.stderr_tail()}")
    return fin, reference_hypothesis(child, 0)


def file_rows(args, refs):
    recordings = sorted(f for f in os.listdir(LIBRIVOX) if f.endswith(".wav")) \
        if os.path.isdir(LIBRIVOX) else []
    target_rows = [Row("File mode wall, 5 recordings", target="<= 0.8x"),
                   Row("File mode CPU (informative)", target="-"),
                   Row("WER, file mode", target="no worse"),
                   Row("Peak RSS, file mode", target="<= 1.1x")]
    if not recordings:
        for row in target_rows:
            row.ours = f"n/a (no recordings in {LIBRIVOX}: pocketsphinx-testdata)"
        return target_rows
    sides = {"ours": dict(wall=[], cpu=[], rss=[], texts={}, problem=None),
             "theirs": dict(wall=[], cpu=[], rss=[], texts={}, problem=None)}
    if not os.access(args.tool, os.X_OK):
        sides["ours"]["problem"] = f"{args.tool} not built"
    if not shutil.which(REFERENCE):
        sides["theirs"]["problem"] = f"{REFERENCE} is not installed"
    for i in range(args.runs):
        order = ("ours", "theirs") if i % 2 == 0 else ("theirs", "ours")
        for side in order:
            s = sides[side]
            if s["problem"]:
                continue
            wall = cpu = 0.0
            rss = 0
            try:
                for name in recordings:
                    path = os.path.join(LIBRIVOX, name)
                    fin, text = file_tool_run(args.tool, path) if side == "ours" \
                        else file_reference_run(path)
                    wall += fin.wall
                    cpu += fin.cpu
                    rss = max(rss, fin.max_rss_kib)
                    s["texts"].setdefault(name[:-4], text)
            except NotAvailable as why:
                s["problem"] = str(why)
                continue
            s["wall"].append(wall)
            s["cpu"].append(cpu)
            s["rss"].append(rss)
        log(f"file round {i + 1}/{args.runs}: zentrova-dictate "
            f"{sides['ours']['wall'][-1] if sides['ours']['wall'] else float('nan'):.2f} s, "
            f"{REFERENCE} {sides['theirs']['wall'][-1] if sides['theirs']['wall'] else float('nan'):.2f} s")
    ours, theirs = sides["ours"], sides["theirs"]
    seconds = lambda v: f"{v:.2f} s"
    wall, cpu, wer, rss = target_rows
    fill_ratio_row(wall, ours["wall"], theirs["wall"], seconds, 0.8, ours["problem"], theirs["problem"])
    wall.notes.insert(0, f"sum over the five recordings (24.7 s of audio) per round; {REFERENCE} "
                         "with its default search settings")
    fill_ratio_row(cpu, ours["cpu"], theirs["cpu"], seconds, float("inf"), ours["problem"], theirs["problem"])
    cpu.met = ""
    cpu.notes.insert(0, "user + system time: less sensitive than wall time to other load")
    fill_ratio_row(rss, ours["rss"], theirs["rss"], mib, 1.1, ours["problem"], theirs["problem"])
    rss.notes.insert(0, "largest of the five recordings per round")

    rates = {}
    for side in ("ours", "theirs"):
        texts = sides[side]["texts"]
        if len(texts) == len(recordings):
            rates[side] = word_error_rate([(refs[u], texts[u]) for u in sorted(texts)])
    wer.ours = f"{rates['ours'] * 100:.1f} %" if "ours" in rates else f"n/a ({ours['problem']})"
    wer.theirs = f"{rates['theirs'] * 100:.1f} %" if "theirs" in rates else f"n/a ({theirs['problem']})"
    if len(rates) == 2:
        wer.ratio = f"{(rates['ours'] - rates['theirs']) * 100:+.1f} points"
        wer.met = verdict(rates["ours"] <= rates["theirs"])
    for utterance in sorted(ours["texts"]):
        per = edit_distance(refs[utterance], words(ours["texts"][utterance]))
        theirs_per = edit_distance(refs[utterance], words(theirs["texts"].get(utterance, ""))) \
            if utterance in theirs["texts"] else None
        wer.notes.append(f"{utterance[-4:]}: {len(refs[utterance])} words, errors "
                         f"{per} vs {theirs_per if theirs_per is not None else 'n/a'}")
    return target_rows


# ------------------------------------------------------------- level meter

def level_rows(args):
    row = Row("Level meter, 1024 frames", target="<= 1.5x")
    if not args.level_bench or not os.access(args.level_bench, os.X_OK):
        row.ours = f"n/a ({args.level_problem or 'level_bench not built'})"
        return [row]
    ran = subprocess.run([args.level_bench, "--benchmark_format=json",
                          f"--benchmark_repetitions={args.runs}",
                          "--benchmark_report_aggregates_only=true"],
                         capture_output=True, text=True)
    if ran.returncode != 0:
        row.ours = f"n/a (level_bench exit {ran.returncode}: {ran.stderr.strip()[-200:]})"
        return [row]
    medians = {}
    for result in json.loads(ran.stdout)["benchmarks"]:
        if result.get("aggregate_name") == "median":
            medians[result["run_name"]] = result["cpu_time"]  # ns: the default unit
    meter, floor = medians.get("BM_Level/speech"), medians.get("BM_DependentAdditions")
    if meter is None or floor is None:
        row.ours = "n/a (level_bench did not report both benchmarks)"
        return [row]
    row.ours = f"{meter:.0f} ns"
    row.theirs = f"{floor:.0f} ns (1024 dependent adds)"
    row.ratio = times(meter / floor, 1.5)
    row.met = verdict(meter / floor <= 1.5)
    silence = medians.get("BM_Level/silence")
    row.notes.append("CPU time per call, median of the repetitions; speech-like input at -30 dBFS")
    if silence is not None:
        row.notes.append(f"digital silence: {silence:.0f} ns")
    return [row]


# ------------------------------------------------------------------ output

def log(message):
    print(f"  ... {message}", file=sys.stderr, flush=True)


def print_table(rows, args):
    header = ("measure", "zentrova-dictate", REFERENCE + " / floor", "ratio", "target", "met")
    table = [header] + [(r.label, r.ours, r.theirs, r.ratio, r.target, r.met) for r in rows]
    widths = [max(len(cells[i]) for cells in table) for i in range(len(header))]
    rule = "-+-".join("-" * w for w in widths)
    print()
    end_load = os.getloadavg()[0]
    print(f"zentrova-dictate benchmarks: median of {args.runs} runs per figure, "
          f"{os.cpu_count()} CPUs, load average {args.load:.2f} at start, {end_load:.2f} at end")
    if max(args.load, end_load) > 0.5 * (os.cpu_count() or 1):
        print("warning: other work was running; wall times and start-up are inflated, "
              "CPU times and memory much less so")
    print(" | ".join(h.ljust(w) for h, w in zip(header, widths)))
    print(rule)
    for cells in table[1:]:
        print(" | ".join(c.ljust(w) for c, w in zip(cells, widths)))
    print()
    for r in rows:
        for note in r.notes:
            print(f"{r.label}: {note}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", required=True)
    parser.add_argument("--level-bench", default="")
    parser.add_argument("--level-problem", default="")
    parser.add_argument("--rig-env", default="", help="the virtual microphone's env file")
    parser.add_argument("--rig-problem", default="")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--tail", type=float, default=0.5,
                        help="seconds between the end of the recording and stop")
    parser.add_argument("--sections", default="level,file,live")
    args = parser.parse_args()
    args.load = os.getloadavg()[0]
    sections = args.sections.split(",")

    refs = transcripts() if os.path.isfile(os.path.join(LIBRIVOX, "transcription")) else {}
    if not os.access(args.tool, os.X_OK):
        args.rig_env, args.rig_problem = "", f"{args.tool} not built"
    rows = []
    with tempfile.TemporaryDirectory(prefix="zentrova-bench-") as folder:
        if "level" in sections:
            log("level meter benchmark")
            rows += level_rows(args)
        if "file" in sections:
            rows += file_rows(args, refs)
        if "live" in sections:
            rows += live_rows(args, refs, folder)
    order = ["Launch -> ready", "File mode wall", "File mode CPU", "WER, file", "Stop -> final",
             "WER, live", "Peak RSS, file", "Peak RSS, live", "Level meter"]
    rows.sort(key=lambda r: next((i for i, p in enumerate(order) if r.label.startswith(p)), 99))
    print_table(rows, args)


if __name__ == "__main__":
    main()
