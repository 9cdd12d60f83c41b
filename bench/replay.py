"""Live text replayed: the read passage of bench/latency.py through the live
recognition loop (partials_replay), each partial stamped with the audio time
at which it was produced. The rows are latency.py's, measured the same way
against the engine's alignment, but without the machine: no compute time, no
scheduling, no sound server. They are what the stabilisation itself costs
and saves, the same on every run and every machine, and they tell a change
of the live loop apart from a change of load. The live rows add the decoder's
compute time to these lags.

    python3 bench/replay.py [BUILD_DIR [MODEL_ROOT]]
"""

import os
import subprocess
import sys
import tempfile

import latency
from children import NotAvailable
from table import Row, median, ms, verdict
from wer import words


def replay(tool, model_root, path):
    ran = subprocess.run([tool, model_root, path], capture_output=True, text=True, timeout=600)
    if ran.returncode != 0:
        raise NotAvailable(f"partials_replay failed: {ran.stderr.strip()}")
    partials, final = [], ""
    for line in ran.stdout.splitlines():
        stamp, _, text = line.partition("\t")
        if stamp == "final":
            final = text
        else:
            partials.append((float(stamp), text))
    return partials, final


def rows(tool, model_root, folder):
    labels = ("First partial lag, replayed", "Word lag, replayed (median / p90)",
              "Partials rewriting a shown word, replayed")
    try:
        if not os.access(tool, os.X_OK):
            raise NotAvailable(f"no {tool}")
        path, _ = latency.make_passage(folder)
        aligned = latency.word_ends(path)
        partials, final = replay(tool, model_root, path)
        lags = latency.lags(aligned, partials)
        held = [v for v in lags if v is not None]
        first = partials[0][0] - aligned[0][1] if partials else None
        first_row = Row(labels[0], target=f"<= {ms(latency.FIRST_TARGET)} after 1st word")
        if first is not None:
            first_row.ours = ms(first)
            first_row.met = verdict(first <= latency.FIRST_TARGET)
            first_row.notes.append(f"first partial: {partials[0][1]!r}")
        word_row = Row(labels[1], target=f"<= {ms(latency.WORD_TARGET[0])} / "
                                         f"{ms(latency.WORD_TARGET[1])}")
        if held:
            middle, high = median(held), latency.percentile(held, 0.9)
            word_row.ours = f"{ms(middle)} / {ms(high)}"
            word_row.met = verdict(middle <= latency.WORD_TARGET[0] and
                                   high <= latency.WORD_TARGET[1])
            word_row.notes.append(f"{len(held)} of {len(lags)} aligned words held by a partial")
        rewrite_row = latency.rewrite_row([(latency.rewrites(partials), len(partials))])
        rewrite_row.label = labels[2]
        rewrite_row.notes.append(f"final: {len(words(final))} words")
        return [first_row, word_row, rewrite_row]
    except NotAvailable as why:
        return [Row(label, f"n/a ({why})") for label in labels]


if __name__ == "__main__":
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    root = sys.argv[2] if len(sys.argv) > 2 else "/usr/share/pocketsphinx/model"
    with tempfile.TemporaryDirectory() as scratch:
        for row in rows(os.path.join(build, "bench", "partials_replay"), root, scratch):
            print(f"{row.label}: {row.ours} (target {row.target}) {'; '.join(row.notes)}")
