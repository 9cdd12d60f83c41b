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

sys.dont_write_bytecode = True  # keep the source folder clean when run on its own

import latency  # noqa: E402
from children import NotAvailable  # noqa: E402
from table import Row  # noqa: E402
from wer import words  # noqa: E402


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
    """latency.py's first three rows, from one replay instead of live runs."""
    labels = ("First partial lag, replayed", "Word lag, replayed (median / p90)",
              "Partials rewriting a shown word, replayed")
    try:
        if not os.access(tool, os.X_OK):
            raise NotAvailable(f"no {tool}")
        path, _ = latency.make_passage(folder)
        aligned = latency.word_ends(path)
        partials, final = replay(tool, model_root, path)
        first = [partials[0][0] - aligned[0][1]] if partials else []
        found = latency.fill(first, [latency.lags(aligned, partials)], [], None,
                             [(latency.rewrites(partials), len(partials))])[:3]
        for row, label in zip(found, labels):
            row.label = label
        if partials:
            found[0].notes.append(f"first partial: {partials[0][1]!r}")
        found[2].notes.append(f"final: {len(words(final))} words")
        return found
    except NotAvailable as why:
        return [Row(label, f"n/a ({why})") for label in labels]


if __name__ == "__main__":
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    root = sys.argv[2] if len(sys.argv) > 2 else "/usr/share/pocketsphinx/model"
    with tempfile.TemporaryDirectory() as scratch:
        for row in rows(os.path.join(build, "bench", "partials_replay"), root, scratch):
            print(f"{row.label}: {row.ours} (target {row.target}) {'; '.join(row.notes)}")
