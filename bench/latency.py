"""How closely live text follows the voice, through the virtual microphone:
a 25 s read passage (the test data's five recordings joined) is played the
moment the ready event arrives, and each spoken word's end, taken from the
engine's own alignment of the same file (pocketsphinx_continuous -time yes),
is matched to the first partial event that holds it.

Rows: the first partial's lag behind the first word's end; every recognised
word's lag (median and 90th percentile over all words of all runs); the
share of partials that rewrite a word the partial before showed (the
words compared as bench/wer.py writes them, so a capital that comes with a
later word does not count); and whether the live final begins with the same
word as --file on the passage, which shows that no speech is lost while the
tool starts."""

import os
import subprocess
import time

from children import EXIT_TIMEOUT, REFERENCE, NotAvailable, Watched, event, is_event
from live import FINAL_TIMEOUT, READY_TIMEOUT, rig_environment
from table import Row, log, median, ms, verdict
from wer import LIBRIVOX, words

RECORDINGS = ["sense_and_sensibility_01_austen_64kb-0870", "sense_and_sensibility_01_austen_64kb-0880",
              "sense_and_sensibility_01_austen_64kb-0890", "sense_and_sensibility_01_austen_64kb-0920",
              "sense_and_sensibility_01_austen_64kb-0930"]
TAIL = 1.0  # seconds between the end of the passage and stop
FIRST_TARGET = 0.5
WORD_TARGET = (0.5, 1.0)  # median, 90th percentile
REWRITE_TARGET = 0.05
FILLERS = {"<s>", "</s>", "<sil>"}


def make_passage(folder):
    path = os.path.join(folder, "passage.wav")
    made = subprocess.run(["sox"] + [f"{LIBRIVOX}/{name}.wav" for name in RECORDINGS] + [path],
                          capture_output=True, text=True)
    if made.returncode != 0:
        raise NotAvailable("sox could not join the passage: " + made.stderr.strip())
    length = subprocess.run(["soxi", "-D", path], capture_output=True, text=True)
    return path, float(length.stdout)


def word_ends(path):
    """(word, end in seconds) for each spoken word of the file, in order, as
    the engine aligns it: lines "word start end confidence"; alternative
    pronunciations carry a "(2)" suffix."""
    aligned = subprocess.run([REFERENCE, "-infile", path, "-time", "yes"], capture_output=True,
                             text=True, timeout=300)
    if aligned.returncode != 0:
        raise NotAvailable(f"{REFERENCE} -time yes failed with status {aligned.returncode}")
    found = []
    for line in aligned.stdout.splitlines():
        fields = line.split()
        if len(fields) != 4 or fields[0] in FILLERS or fields[0].startswith("[") or \
                fields[0].startswith("++"):
            continue
        try:
            end = float(fields[2])
        except ValueError:
            continue
        spoken = words(fields[0].split("(")[0])
        if spoken:
            found.append((spoken[0], end))
    if not found:
        raise NotAvailable(f"{REFERENCE} -time yes aligned no word")
    return found


def matched(reference, hypothesis):
    """Indices of `reference` that a longest common subsequence with
    `hypothesis` pairs with an equal word."""
    n, m = len(reference), len(hypothesis)
    table = [[0] * (m + 1) for _ in range(n + 1)]
    for i in range(n - 1, -1, -1):
        for j in range(m - 1, -1, -1):
            table[i][j] = (table[i + 1][j + 1] + 1 if reference[i] == hypothesis[j]
                           else max(table[i + 1][j], table[i][j + 1]))
    found, i, j = set(), 0, 0
    while i < n and j < m:
        if reference[i] == hypothesis[j]:
            found.add(i)
            i, j = i + 1, j + 1
        elif table[i + 1][j] >= table[i][j + 1]:
            i += 1
        else:
            j += 1
    return found


def lags(aligned, partials):
    """Per aligned word, seconds from its end to the first partial (time
    since playback began, text) that holds it; None for a word no partial
    ever held."""
    reference = [w for w, _ in aligned]
    first_seen = {}
    for stamp, text in partials:
        for index in matched(reference, words(text)):
            first_seen.setdefault(index, stamp)
    return [first_seen[i] - end if i in first_seen else None
            for i, (_, end) in enumerate(aligned)]


def tool_run(tool, env, path, seconds):
    """One dictation of the passage, played at ready: the partials stamped
    from the start of playback, and the final text."""
    child = Watched([tool, "en-US"], env=env, stdin=True)
    try:
        found = child.wait_line(is_event("ready"), READY_TIMEOUT)
        if not found:
            raise NotAvailable("no ready event; last output: " +
                               " ".join(l.text for l in child.stdout_lines()[-2:]))
        played = child.now()
        player = subprocess.Popen(["paplay", "--device=rig_speaker", path], env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if player.wait(seconds + 10) != 0:
            raise NotAvailable("paplay failed: " + player.stderr.read().decode(errors="replace"))
        time.sleep(TAIL)
        stopped = child.write("stop\n")
        final = child.wait_line(lambda l: l.seconds >= stopped and is_event("final")(l),
                                FINAL_TIMEOUT)
        partials = [(l.seconds - played, event(l).get("text", ""))
                    for l in child.stdout_lines() if is_event("partial")(l)]
        return partials, event(final[1]).get("text", "") if final else None
    finally:
        child.close_stdin()
        child.wait(EXIT_TIMEOUT)


def file_first_word(tool, path):
    child = Watched([tool, "--file", path])
    child.wait(120)
    finals = [event(l) for l in child.stdout_lines() if is_event("final")(l)]
    found = words(finals[-1].get("text", "")) if finals else []
    return found[0] if found else None


def rewrites(partials):
    """How many partials change or drop a word that the one before showed."""
    shown = [words(text) for _, text in partials]
    return sum(1 for before, after in zip(shown, shown[1:]) if after[:len(before)] != before)


def rewrite_row(counts):
    """`counts`: (rewriting partials, partials) per run."""
    row = Row("Partials rewriting a shown word, live", target=f"<= {REWRITE_TARGET * 100:.0f} %")
    if not counts:
        return row
    changed, every = sum(c for c, _ in counts), sum(n - 1 for _, n in counts if n > 1)
    share = changed / every if every else 0.0
    row.ours = f"{share * 100:.1f} %"
    row.met = verdict(share <= REWRITE_TARGET)
    row.notes.append("runs (rewriting / partials): " + ", ".join(f"{c} / {n}" for c, n in counts))
    return row


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def fill(first, per_run, starts, from_file, counts):
    """The table's rows from every run's figures; `per_run` holds each run's
    word lags, None for a word no partial held."""
    every = [v for run in per_run for v in run]
    first_row = Row("First partial lag, live", target=f"<= {ms(FIRST_TARGET)} after 1st word")
    word_row = Row("Word lag, live (median / p90)",
                   target=f"<= {ms(WORD_TARGET[0])} / {ms(WORD_TARGET[1])}")
    start_row = Row("Live final starts as --file", target="same first word")
    if first:
        first_row.ours = ms(median(first))
        first_row.met = verdict(median(first) <= FIRST_TARGET)
        first_row.notes.append("runs: " + ", ".join(ms(v) for v in first))
    held = [v for v in every if v is not None]
    if held:
        middle, high = median(held), percentile(held, 0.9)
        word_row.ours = f"{ms(middle)} / {ms(high)}"
        word_row.met = verdict(middle <= WORD_TARGET[0] and high <= WORD_TARGET[1])
        medians = [median([v for v in run if v is not None]) for run in per_run]
        word_row.notes.append(f"{len(held)} of {len(every)} aligned words held by a partial "
                              f"over {len(per_run)} runs; per-run medians: " +
                              ", ".join(ms(v) for v in medians if v is not None))
    start_row.ours = ", ".join(s or "(none)" for s in starts) or "n/a"
    start_row.theirs = f"--file: {from_file}"
    start_row.met = verdict(bool(starts) and all(s == from_file for s in starts))
    return [first_row, word_row, rewrite_row(counts), start_row]


def rows(tool, runs, rig_env, rig_problem, folder):
    try:
        if not rig_env:
            raise NotAvailable(rig_problem or "no virtual microphone")
        path, seconds = make_passage(folder)
        aligned = word_ends(path)
        env = rig_environment(rig_env)
        from_file = file_first_word(tool, path)
        first, per_run, starts, counts = [], [], [], []
        for i in range(runs):
            partials, final = tool_run(tool, env, path, seconds)
            per_run.append(lags(aligned, partials))
            counts.append((rewrites(partials), len(partials)))
            held = [v for v in per_run[-1] if v is not None]
            if partials:
                first.append(partials[0][0] - aligned[0][1])
            said = words(final or "")
            starts.append(said[0] if said else None)
            log(f"latency run {i + 1}/{runs}: first partial "
                f"{ms(first[-1]) if partials else 'none'} after the first word, word lag median "
                f"{ms(median(held)) if held else 'n/a'}, {counts[-1][0]} of {len(partials)} "
                f"partials rewrite a shown word")
        return fill(first, per_run, starts, from_file, counts)
    except NotAvailable as why:
        return [Row(label, f"n/a ({why})") for label in
                ("First partial lag, live", "Word lag, live (median / p90)",
                 "Partials rewriting a shown word, live", "Live final starts as --file")]
