#!/usr/bin/env python3
"""Measures zentrova-dictate against pocketsphinx_continuous (same engine, same
model) and prints one comparison table. bench/run.sh starts the virtual
microphone and calls this.

Every figure is the median of several runs, and each comparison is measured
in the same invocation with the two programs interleaved run by run, so that
drift in the machine's load falls on both. Each section reports "n/a" with
its reason instead of failing: one missing piece must not hide the others.
Standard library only.
"""

import sys

sys.dont_write_bytecode = True  # keep the source folder clean

import argparse  # noqa: E402
import os  # noqa: E402
import tempfile  # noqa: E402

import filemode  # noqa: E402
import latency  # noqa: E402
import longfile  # noqa: E402
import levelmeter  # noqa: E402
import loadtime  # noqa: E402
import live  # noqa: E402
import noise  # noqa: E402
import replay  # noqa: E402
import vocabulary  # noqa: E402
import written_form  # noqa: E402
from table import log, print_table  # noqa: E402
from wer import LIBRIVOX, transcripts  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", required=True, help="the zentrova-dictate executable")
    parser.add_argument("--level-bench", default="", help="the level_bench executable")
    parser.add_argument("--level-problem", default="", help="why there is no level_bench")
    parser.add_argument("--load-bench", default="", help="the load_bench executable")
    parser.add_argument("--replay-bench", default="", help="the partials_replay executable")
    parser.add_argument("--model-root", default="/usr/share/pocketsphinx/model",
                        help="the model root the tool was built with")
    parser.add_argument("--rig-env", default="", help="the virtual microphone's env file")
    parser.add_argument("--rig-problem", default="", help="why there is no virtual microphone")
    parser.add_argument("--runs", type=int, default=5, help="runs per figure")
    parser.add_argument("--tail", type=float, default=0.5,
                        help="seconds between the end of the live recording and stop")
    parser.add_argument("--sections",
                        default="level,load,file,long,live,latency,noise,vocabulary,written")
    parser.add_argument("--long-minutes", type=float, default=10,
                        help="length of the long recording, in minutes")
    parser.add_argument("--long-runs", type=int, default=1,
                        help="runs per figure for the long recording")
    args = parser.parse_args()
    start_load = os.getloadavg()[0]
    sections = args.sections.split(",")
    have_transcripts = os.path.isfile(os.path.join(LIBRIVOX, "transcription"))
    refs = transcripts() if have_transcripts else {}
    if not os.access(args.tool, os.X_OK):
        args.rig_env, args.rig_problem = "", f"{args.tool} not built"

    rows = []
    if "level" in sections:
        log("level meter benchmark")
        rows += levelmeter.rows(args.level_bench, args.level_problem, args.runs)
    if "load" in sections:
        rows += loadtime.rows(args.load_bench, args.model_root, args.runs)
    if "file" in sections:
        rows += filemode.rows(args.tool, args.runs, refs)
    if "long" in sections:
        with tempfile.TemporaryDirectory(prefix="zentrova-bench-long-") as folder:
            rows += longfile.rows(args.tool, args.long_runs, refs, args.long_minutes, folder)
    if "live" in sections:
        with tempfile.TemporaryDirectory(prefix="zentrova-bench-") as folder:
            rows += live.rows(args.tool, args.runs, args.tail, args.rig_env, args.rig_problem,
                              refs, folder)
    if "latency" in sections:
        with tempfile.TemporaryDirectory(prefix="zentrova-bench-") as folder:
            rows += latency.rows(args.tool, args.runs, args.rig_env, args.rig_problem, folder)
            rows += replay.rows(args.replay_bench, args.model_root, folder)
    if "noise" in sections:
        with tempfile.TemporaryDirectory(prefix="zentrova-bench-") as folder:
            rows += noise.rows(args.tool, args.runs, args.rig_env, args.rig_problem, folder)
    if "vocabulary" in sections:
        rows += vocabulary.rows(args.tool)
    if "written" in sections:
        rows += written_form.rows(args.tool)
    print_table(rows, args.runs, start_load)


if __name__ == "__main__":
    main()
