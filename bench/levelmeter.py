"""The level meter's cost per 1024-frame buffer against its floor, from the
Google Benchmark executable built beside the tool (bench/level_bench.cpp)."""

import json
import os
import subprocess

from table import Row, times, verdict

LIMIT = 1.5


def rows(level_bench, problem, runs):
    row = Row("Level meter, 1024 frames", target=f"<= {LIMIT}x")
    if not level_bench or not os.access(level_bench, os.X_OK):
        row.ours = f"n/a ({problem or 'level_bench not built'})"
        return [row]
    ran = subprocess.run([level_bench, "--benchmark_format=json",
                          f"--benchmark_repetitions={runs}",
                          "--benchmark_report_aggregates_only=true"],
                         capture_output=True, text=True)
    if ran.returncode != 0:
        row.ours = f"n/a (level_bench exit {ran.returncode}: {ran.stderr.strip()[-200:]})"
        return [row]
    # CPU time, not wall time: on a shared machine the benchmark thread is
    # preempted now and then, which says nothing about the meter.
    # With one repetition there are no aggregates, only the run itself.
    wanted = "median" if runs > 1 else None
    medians = {r["run_name"]: r["cpu_time"] for r in json.loads(ran.stdout)["benchmarks"]
               if r.get("aggregate_name") == wanted and r.get("time_unit", "ns") == "ns"}
    meter, floor = medians.get("BM_Level/speech"), medians.get("BM_DependentAdditions")
    if meter is None or floor is None:
        row.ours = "n/a (level_bench did not report both benchmarks in ns)"
        return [row]
    row.ours = f"{meter:.0f} ns"
    row.theirs = f"{floor:.0f} ns (1024 dependent adds)"
    row.ratio = times(meter / floor, LIMIT)
    row.met = verdict(meter / floor <= LIMIT)
    row.notes.append("CPU time per call, median of the repetitions; speech-like input at -30 dBFS")
    silence = medians.get("BM_Level/silence")
    if silence is not None:
        row.notes.append(f"digital silence: {silence:.0f} ns")
    return [row]
