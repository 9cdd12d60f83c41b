"""The written form: numbers and dictated marks in synthesized dictation, and
dictated marks that read speech gains though nobody said them.

The dictation is tests/realstack/format/written-form.txt spoken by several
flite voices, converted to 16 kHz by sox. Each line pairs the spoken text
with its written form; bracketed spans pair a number or mark as said with
the way the written-form tables write it. Figures:
- numbers written as the table says, of those the recognizer heard: a
  number counts as heard when its written form is in the transcript, when
  its words are (heard, not written), or when its digits are (written
  some other way); a number whose words the recognizer got wrong is left
  out.
- dictated marks written: the mark is in the transcript and its words are
  not, of all marks dictated; a "." or "?" at the very end does not count,
  the transcript would end with one anyway.
- command words left: the words of a dictated mark still in the transcript,
  of all marks dictated.
Each figure is one pass: transcripts do not vary from run to run."""

import os
import re
import shutil
import subprocess
import sys
import tempfile

from children import NotAvailable
from filemode import tool_run
from table import Row, log, print_rows
from vocabulary import CARDS, VOICES, read_speech, synthesize
from wer import LIBRIVOX, transcripts, word_error_rate

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SENTENCES = os.path.join(REPO, "tests", "realstack", "format", "written-form.txt")
COMMANDS = {"comma": ",", "period": ".", "full stop": ".", "question mark": "?",
            "exclamation point": "!", "exclamation mark": "!", "colon": ":",
            "semicolon": ";", "new line": "\n", "new paragraph": "\n\n"}
# Marks that only a dictation writes: the automatic ones are "." and "?".
DICTATED_ONLY = (",", ":", ";", "!", "\n")


def dictations():
    """(spoken text, [(spoken span, written span)]) for every line."""
    pairs = []
    with open(SENTENCES, encoding="utf-8") as listing:
        for line in listing:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            spoken, written = line.split("~")
            said = re.findall(r"\[([^\]]*)\]", spoken)
            shown = [s.replace("\\n", "\n") for s in re.findall(r"\[([^\]]*)\]", written)]
            pairs.append((re.sub(r"[\[\]]", "", spoken), list(zip(said, shown))))
    return pairs


def words(text):
    return re.findall(r"[a-z0-9']+", text.lower())


def has_words(text, phrase):
    """Whether `phrase`'s words come in a row in `text`."""
    found, wanted = words(text), words(phrase)
    return any(found[i:i + len(wanted)] == wanted for i in range(len(found) - len(wanted) + 1))


def digits(text):
    return re.sub(r"[^0-9]", "", text)


def score(text, spans, tally):
    left_text = text
    for said, shown in spans:
        if said in COMMANDS:
            tally["marks"] += 1
            if has_words(left_text, said):
                tally["left"] += 1
                left_text = left_text.replace(said.split()[-1], "", 1)
            elif shown in left_text[:-1] or (shown not in ".?" and shown in left_text):
                tally["written"] += 1
                left_text = left_text.replace(shown, " ", 1)
            continue
        if re.search(r"(?<![0-9A-Za-z])" + re.escape(shown) + r"(?![0-9A-Za-z])", text):
            tally["right"] += 1
            tally["heard"] += 1
        elif has_words(text, said) or digits(shown) in digits(text):
            tally["heard"] += 1
            tally["wrong"].append(f"\"{said}\" as: \"{text}\"")


def false_marks(text):
    return sum(text.count(mark) for mark in DICTATED_ONLY) + sum(
        1 for command in COMMANDS if has_words(text, command))


def measure(tool):
    tally = {"right": 0, "heard": 0, "marks": 0, "written": 0, "left": 0, "wrong": []}
    pairs = dictations()
    with tempfile.TemporaryDirectory(prefix="zentrova-written-") as folder:
        spans = {spoken: s for spoken, s in pairs}
        for path, sentence in synthesize(folder, [spoken for spoken, _ in pairs]):
            _, text = tool_run(tool, path)
            score(text, spans[sentence], tally)
    false = []
    librivox = []
    refs = transcripts()
    for path, reference in read_speech():
        _, text = tool_run(tool, path)
        if false_marks(text) > false_marks(reference):
            false.append(f"{os.path.basename(path)}: \"{text}\"")
        utterance = os.path.basename(path)[:-len(".wav")]
        if path.startswith(LIBRIVOX) and utterance in refs:
            librivox.append((refs[utterance], text))
    return tally, false, word_error_rate(librivox) if librivox else None


def rows(tool):
    numbers = Row("Numbers written as the tables say (of those heard)", target=">= 90 %")
    marks = Row("Dictated marks written", target=">= 70 %")
    left = Row("Command words left as words", target="<= 10 %")
    false_row = Row("False dictated marks, read speech", target="0")
    every = [numbers, marks, left, false_row]
    missing = [name for name in ("flite", "sox") if not shutil.which(name)]
    if missing or not os.path.isdir(CARDS):
        for row in every:
            row.ours = f"n/a ({', '.join(missing) or CARDS} missing: scripts/setup.sh)"
        return every
    log("written form: synthesized dictation and read speech")
    try:
        tally, false, wer = measure(tool)
    except (NotAvailable, subprocess.CalledProcessError) as why:
        for row in every:
            row.ours = f"n/a ({why})"
        return every
    share = lambda part, whole: part / whole if whole else 0.0
    number_share = share(tally["right"], tally["heard"])
    numbers.ours = f"{number_share * 100:.1f} %"
    numbers.met = "yes" if number_share >= 0.9 else "NO"
    numbers.notes.append(f"{tally['right']} of {tally['heard']} heard, voices {', '.join(VOICES)}")
    numbers.notes += tally["wrong"]
    mark_share = share(tally["written"], tally["marks"])
    marks.ours = f"{mark_share * 100:.1f} %"
    marks.met = "yes" if mark_share >= 0.7 else "NO"
    marks.notes.append(f"{tally['written']} of {tally['marks']} dictated")
    left_share = share(tally["left"], tally["marks"])
    left.ours = f"{left_share * 100:.1f} %"
    left.met = "yes" if left_share <= 0.1 else "NO"
    left.notes.append(f"{tally['left']} of {tally['marks']} dictated")
    false_row.ours = str(len(false))
    false_row.met = "yes" if not false else "NO"
    false_row.notes += false or ["librivox and cards recordings: none"]
    if wer is not None:
        false_row.notes.append(f"librivox word error rate: {wer * 100:.1f} %")
    return every


if __name__ == "__main__":
    sys.dont_write_bytecode = True
    print_rows(rows(sys.argv[1]))
