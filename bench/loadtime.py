"""Where a model load goes: each step of the tool's load alone (bench/load_bench),
its CPU time, the system's share of it (memory first touched, file pages
copied in: minor page faults) and the memory it keeps. CPU time, not wall
time: the steps run one after the other there, and other load on the machine
barely moves it."""

import os
import subprocess

from table import Row, log, median, mib, ms

STEPS = ["acoustic model", "dictionary", "language model", "search", "pronunciations",
         "vocabulary model", "word lists"]


def one_run(load_bench, model_root):
    done = subprocess.run([load_bench, model_root], capture_output=True, text=True, timeout=120)
    if done.returncode != 0:
        raise RuntimeError(done.stderr.strip() or f"exit {done.returncode}")
    steps = {}
    for line in done.stdout.splitlines():
        name, user, system, faults, kib = line.split("\t")
        steps[name] = (float(user), float(system), int(faults), int(kib))
    return steps


def rows(load_bench, model_root, runs):
    if not os.access(load_bench, os.X_OK):
        return [Row("Load steps", ours=f"n/a (no {load_bench})")]
    runs_seen = []
    try:
        for i in range(runs):
            runs_seen.append(one_run(load_bench, model_root))
            log(f"load steps round {i + 1}/{runs}")
    except (RuntimeError, subprocess.TimeoutExpired) as why:
        return [Row("Load steps", ours=f"n/a ({why})")]
    result = []
    total_cpu = total_system = 0.0
    for step in STEPS:
        user = median([r[step][0] for r in runs_seen])
        system = median([r[step][1] for r in runs_seen])
        faults = median([r[step][2] for r in runs_seen])
        kept = median([r[step][3] for r in runs_seen])
        total_cpu += user + system
        total_system += system
        result.append(Row(f"Load: {step}", ours=f"{ms(user + system)} CPU", target="-",
                          theirs=f"system {ms(system)}, {faults:.0f} faults, keeps {mib(kept)}"))
    total = Row("Load: all steps", ours=f"{ms(total_cpu)} CPU", target="-",
                theirs=f"system {ms(total_system)}")
    total.notes.append("one after the other on one thread; the tool reads the language model "
                       "beside the acoustic model and dictionary, and the word lists on a thread "
                       "of their own")
    return result + [total]
