"""Live dictation on the virtual microphone, against pocketsphinx_continuous
-inmic on the same microphone: launch to ready, stop to final, peak memory,
and (for information) the word error rate of what each heard."""

import os
import shutil
import signal
import subprocess
import time
from dataclasses import dataclass

from children import EXIT_TIMEOUT, REFERENCE, NotAvailable, Watched, event, is_event
from table import Row, fill_ratio_row, log, median, mib, ms, spread, verdict
from wer import LIBRIVOX, word_error_rate

READY_TIMEOUT = 20.0  # a cold model read on a slow disk stays well inside
FINAL_TIMEOUT = 6.0   # the tool's own drain ends at 4 s
# The reference closes an utterance on its silence detection, which lags
# behind real time on a busy machine.
REFERENCE_SETTLE = 10.0
READY_TARGET = "<= 100 ms and >= 4x sooner"
STOP_TARGET = "<= 250 ms"


@dataclass
class Run:
    ready: float = None        # launch to ready, seconds
    first_level: float = None  # launch to the first level event, seconds
    stop_to_final: float = None
    text: str = None           # what it understood
    finished: object = None    # children.Finished
    problem: str = None


@dataclass
class Speech:
    path: str
    seconds: float
    words: list


def make_speech(folder, refs):
    """Two read utterances with a short lead-in and tail, so that both
    recognizers hear speech start and end."""
    first = "sense_and_sensibility_01_austen_64kb-0870"
    second = "sense_and_sensibility_01_austen_64kb-0930"
    path = os.path.join(folder, "live-speech.wav")
    made = subprocess.run(["sox", f"{LIBRIVOX}/{first}.wav", f"{LIBRIVOX}/{second}.wav", path,
                           "pad", "0.3", "0.7"], capture_output=True, text=True)
    if made.returncode != 0:
        raise NotAvailable("sox could not make the live recording: " + made.stderr.strip())
    length = subprocess.run(["soxi", "-D", path], capture_output=True, text=True)
    return Speech(path, float(length.stdout), refs[first] + refs[second])


def speak(speech, env, tail):
    """Plays the recording into the virtual microphone at real-time pace and
    returns `tail` seconds after it has ended."""
    player = subprocess.Popen(["paplay", "--device=rig_speaker", speech.path], env=env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    try:
        player.wait(speech.seconds + 10)
    except subprocess.TimeoutExpired:
        player.kill()
        player.wait()
        raise NotAvailable("paplay did not finish the recording in time")
    if player.returncode != 0:
        raise NotAvailable("paplay failed: " + player.stderr.read().decode(errors="replace").strip())
    time.sleep(tail)


def no_ready(child, what, output):
    """Why a program gave no ready line: it ended, or it hung."""
    hung = child.alive()
    finished = child.wait(2, interrupt=signal.SIGTERM)
    when = f"within {READY_TIMEOUT:.0f} s" if hung else f"before it exited with {finished.status}"
    return f"{what} {when}; last output: {output or 'none'}"


def tool_run(tool, env, speech, tail):
    run = Run()
    child = Watched([tool, "en-US"], env=env, stdin=True)
    try:
        found = child.wait_line(is_event("ready"), READY_TIMEOUT)
        if not found:
            raise NotAvailable(no_ready(child, "no ready event",
                                        " ".join(l.text for l in child.stdout_lines()[-2:])))
        run.ready = found[1].seconds
        speak(speech, env, tail)
        stopped = child.write("stop\n")
        final = lambda l: l.seconds >= stopped and is_event("final")(l)
        found = child.wait_line(final, FINAL_TIMEOUT)
        if found:
            run.stop_to_final = found[1].seconds - stopped
            run.text = event(found[1]).get("text", "")
        else:
            errors = [l.text for l in child.stdout_lines() if is_event("error")(l)]
            run.problem = f"no final event within {FINAL_TIMEOUT:.0f} s of stop" + (
                f" ({errors[-1]})" if errors else "")
        first = child.wait_line(is_event("level"), 0)
        run.first_level = first[1].seconds if first else None
    finally:
        # Closing stdin ends a dictation that is still running, as a host's
        # exit would.
        child.close_stdin()
        run.finished = child.wait(EXIT_TIMEOUT)
    return run


def reference_run(env, speech, tail):
    """pocketsphinx_continuous has no stop command: once the recording has
    played it gets time to close the utterance on its own silence detection
    (for its transcript), then it is interrupted, as its users end it."""
    run = Run()
    child = Watched([REFERENCE, "-inmic", "yes"], env=env)
    ready = lambda l: l.stream == "err" and "Ready...." in l.text  # its log, on stderr
    try:
        found = child.wait_line(ready, READY_TIMEOUT)
        if not found:
            raise NotAvailable(no_ready(child, 'no "Ready...."', child.stderr_tail()))
        run.ready = found[1].seconds
        start = found[0] + 1
        speak(speech, env, tail)
        # After an utterance it logs "Ready...." again, listening for the next.
        listening = child.wait_line(lambda l: "Listening..." in l.text, 0, start)
        if listening:
            child.wait_line(ready, REFERENCE_SETTLE, listening[0] + 1)
        run.text = child.hypothesis(start)
    finally:
        run.finished = child.wait(5, interrupt=signal.SIGINT)
    return run


def rig_environment(rig_env):
    env = dict(os.environ)
    with open(rig_env, encoding="utf-8") as settings:
        for entry in settings:
            name, _, value = entry.strip().partition("=")
            if name:
                env[name] = value
    return env


def measure(tool, runs, tail, env, speech):
    """Both programs, interleaved run by run; a side that fails once is
    not run again and keeps its reason."""
    results = {"ours": [], "theirs": []}
    problems = {"ours": None, "theirs": None}
    if not shutil.which(REFERENCE):
        problems["theirs"] = f"{REFERENCE} is not installed"
    run_one = {"ours": lambda: tool_run(tool, env, speech, tail),
               "theirs": lambda: reference_run(env, speech, tail)}
    for i in range(runs):
        for who in (("ours", "theirs") if i % 2 == 0 else ("theirs", "ours")):
            if problems[who]:
                continue
            try:
                results[who].append(run_one[who]())
            except NotAvailable as why:
                problems[who] = str(why)
                log(f"live run {i + 1}/{runs}: {who}: {why}")
                continue
            last = results[who][-1]
            extra = (f", stop -> final {ms(last.stop_to_final)}"
                     if last.stop_to_final is not None else "")
            name = "zentrova-dictate" if who == "ours" else REFERENCE
            log(f"live run {i + 1}/{runs}: {name} ready {ms(last.ready)}{extra}")
    return results, problems


def ready_row(ours, theirs, problems):
    row = Row("Launch -> ready, live", target=READY_TARGET)
    our_ready = [r.ready for r in ours]
    their_ready = [r.ready for r in theirs]
    fill_ratio_row(row, (our_ready, problems["ours"]), (their_ready, problems["theirs"]), ms)
    if our_ready and their_ready:
        sooner = median(their_ready) / median(our_ready)
        row.ratio = f"{sooner:.1f}x sooner"
        row.met = verdict(median(our_ready) <= 0.100 and sooner >= 4)
    if their_ready:
        row.theirs += ' ("Ready....")'
    levels = [r.first_level for r in ours if r.first_level is not None]
    if levels:
        row.notes.append("zentrova-dictate launch -> first level event " + spread(levels, ms))
    return row


def stop_row(ours, problem):
    row = Row("Stop -> final, live, speaker done", target=STOP_TARGET)
    stops = [r.stop_to_final for r in ours if r.stop_to_final is not None]
    failed = [r.problem for r in ours if r.problem]
    if stops:
        row.ours = ms(median(stops))
        row.theirs = "(has no stop command)"
        row.met = verdict(median(stops) <= 0.250 and not failed)
        row.notes.append("zentrova-dictate " + spread(stops, ms))
    else:
        row.ours = f"n/a ({failed[0] if failed else problem})"
    if failed:
        row.notes.append(f"{len(failed)} of {len(ours)} runs: {failed[0]}")
    return row


def wer_row(ours, theirs, reference_words):
    row = Row("WER, live (informative)", target="-")
    for side, name, attribute in ((ours, "zentrova-dictate", "ours"),
                                  (theirs, REFERENCE, "theirs")):
        texts = [r.text for r in side if r.text is not None]
        if not texts:
            setattr(row, attribute, "n/a (no transcript)")
        else:
            rate = word_error_rate([(reference_words, t) for t in texts])
            setattr(row, attribute, f"{rate * 100:.1f} %")
            row.notes.append(f"{name}, first run: {texts[0]}")
    return row


def rows(tool, runs, tail, rig_env, rig_problem, refs, folder):
    try:
        if not rig_env:
            raise NotAvailable(rig_problem or "no virtual microphone")
        if not refs:
            raise NotAvailable(f"no transcripts in {LIBRIVOX}: pocketsphinx-testdata")
        speech = make_speech(folder, refs)
        results, problems = measure(tool, runs, tail, rig_environment(rig_env), speech)
    except NotAvailable as why:
        return [Row("Launch -> ready, live", f"n/a ({why})", target=READY_TARGET),
                Row("Stop -> final, live, speaker done", f"n/a ({why})", target=STOP_TARGET),
                Row("Peak RSS, live", f"n/a ({why})", target="<= 1.1x")]
    ours, theirs = results["ours"], results["theirs"]
    rss = Row("Peak RSS, live", target="<= 1.1x")
    fill_ratio_row(rss, ([r.finished.max_rss_kib for r in ours], problems["ours"]),
                   ([r.finished.max_rss_kib for r in theirs], problems["theirs"]), mib, 1.1)
    return [ready_row(ours, theirs, problems), stop_row(ours, problems["ours"]),
            wer_row(ours, theirs, speech.words), rss]
