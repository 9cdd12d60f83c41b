"""The comparison table: one row per figure, both sides of each ratio, the
target beside it, and the single runs underneath."""

import os
import statistics
import sys
from dataclasses import dataclass, field

from children import REFERENCE


@dataclass
class Row:
    label: str
    ours: str = "n/a"
    theirs: str = ""
    ratio: str = ""
    target: str = ""
    met: str = ""
    notes: list = field(default_factory=list)


def log(message):
    """Progress, on stderr so that stdout holds the table alone."""
    print(f"  ... {message}", file=sys.stderr, flush=True)


def print_rows(rows):
    """Rows and their notes, for a section run on its own."""
    for row in rows:
        print(f"{row.label}: {row.ours}")
        for note in row.notes:
            print(f"  {note}")


def median(values):
    return statistics.median(values) if values else None


def spread(values, unit):
    return "runs: " + ", ".join(unit(v) for v in values)


def ms(seconds):
    return f"{seconds * 1000:.0f} ms" if seconds >= 0.01 else f"{seconds * 1000:.1f} ms"


def mib(kib):
    return f"{kib / 1024:.1f} MiB"


def seconds(value):
    return f"{value:.2f} s"


def verdict(ok):
    return "yes" if ok else "NO"


def times(ratio, limit):
    """A ratio with enough digits that it never reads as equal to its limit
    while missing it."""
    return f"{ratio:.2f}x" if round(ratio, 2) != limit else f"{ratio:.3f}x"


def fill_ratio_row(row, ours, theirs, unit, limit=None):
    """Fills a row whose target is ours / theirs <= limit (None: no target).
    `ours` and `theirs` are (values, problem) pairs; no values means n/a."""
    (our_values, our_problem), (their_values, their_problem) = ours, theirs
    if our_values:
        row.ours = unit(median(our_values))
        row.notes.append("zentrova-dictate " + spread(our_values, unit))
    else:
        row.ours = f"n/a ({our_problem})"
    if their_values:
        row.theirs = unit(median(their_values))
        row.notes.append(f"{REFERENCE} " + spread(their_values, unit))
    else:
        row.theirs = f"n/a ({their_problem})"
    if our_values and their_values:
        ratio = median(our_values) / median(their_values)
        row.ratio = times(ratio, limit) if limit else f"{ratio:.2f}x"
        if limit:
            row.met = verdict(ratio <= limit)


ORDER = ["Launch -> ready", "Load: ", "File mode wall", "File mode CPU", "WER, file", "Long file wall",
         "WER, long file", "Stdout per final byte", "Stop -> final", "WER, live",
         "First partial lag", "Word lag", "Partials rewriting", "Live final starts",
         "Words from noise", "Peak RSS, file",
         "Peak RSS, long file", "Peak RSS, live", "Level meter", "Vocabulary recall",
         "False vocabulary", "Numbers written", "Dictated marks", "Command words", "False dictated"]


def print_table(rows, runs, start_load):
    rows = sorted(rows, key=lambda r: next(
        (i for i, prefix in enumerate(ORDER) if r.label.startswith(prefix)), len(ORDER)))
    header = ("measure", "zentrova-dictate", REFERENCE + " / floor", "ratio", "target", "met")
    cells = [header] + [(r.label, r.ours, r.theirs, r.ratio, r.target, r.met) for r in rows]
    widths = [max(len(line[i]) for line in cells) for i in range(len(header))]
    end_load = os.getloadavg()[0]
    cpus = os.cpu_count() or 1
    print()
    print(f"zentrova-dictate benchmarks: median of {runs} runs per figure, {cpus} CPUs, "
          f"load average {start_load:.2f} at start, {end_load:.2f} at end")
    # Only the load before the first run says something about other work: the
    # benchmarks themselves keep about one CPU busy.
    if start_load > 0.5 * cpus:
        print("warning: other work was running; wall times and start-up are inflated, "
              "CPU times and memory much less so")
    print(" | ".join(h.ljust(w) for h, w in zip(header, widths)).rstrip())
    print("-+-".join("-" * w for w in widths))
    for line in cells[1:]:
        print(" | ".join(c.ljust(w) for c, w in zip(line, widths)).rstrip())
    print()
    for row in rows:
        for note in row.notes:
            print(f"{row.label}: {note}")
