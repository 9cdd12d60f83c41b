"""The contextual vocabulary: recall on synthesized dictation that uses every
word, and vocabulary words heard in read speech that never said them.

The dictation is tests/realstack/vocabulary/sentences.txt spoken by several
flite voices, converted to 16 kHz by sox; the read speech is the test data's
librivox and cards recordings. Each figure is one pass: transcripts do not
vary from run to run."""

import os
import re
import shutil
import subprocess
import sys
import tempfile

from children import NotAvailable
from filemode import tool_run
from table import Row, log, print_rows
from wer import LIBRIVOX, transcripts, word_error_rate

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SENTENCES = os.path.join(REPO, "tests", "realstack", "vocabulary", "sentences.txt")
VOCABULARY = os.path.join(REPO, "src", "recognition", "vocabulary.h")
CARDS = "/usr/share/pocketsphinx/test/data/cards"
VOICES = ("slt", "kal16", "rms", "awb")


def vocabulary():
    """The words the tool sends, read from its own source."""
    with open(VOCABULARY, encoding="utf-8") as source:
        table = source.read().split("words = {", 1)[1].split("};", 1)[0]
    return re.findall(r'"([^"]+)"', table)


def tokens(text):
    return re.findall(r"[A-Za-z0-9']+", text)


def spoken(sentence, words):
    """The vocabulary words a sentence says, as listed."""
    return [t for t in tokens(sentence) if t in words]


def recall(heard, said):
    """How many of `said` (as listed) are in `heard`, each once."""
    left = list(heard)
    found = 0
    for word in said:
        if word in left:
            left.remove(word)
            found += 1
    return found


def false_words(hypothesis, reference, words):
    """Vocabulary words (any case) in `hypothesis` beyond those the
    reference says."""
    lower = {w.lower() for w in words}
    count = lambda text: [t.lower() for t in tokens(text) if t.lower() in lower]
    extra = count(hypothesis)
    for word in count(reference):
        if word in extra:
            extra.remove(word)
    return extra


def synthesize(folder, sentences):
    """(path, sentence) for every sentence in every voice."""
    made = []
    for voice in VOICES:
        for i, sentence in enumerate(sentences):
            raw = os.path.join(folder, f"{voice}-{i}.raw.wav")
            path = os.path.join(folder, f"{voice}-{i}.wav")
            subprocess.run(["flite", "-voice", voice, "-t", sentence, "-o", raw], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["sox", raw, "-r", "16000", "-c", "1", "-b", "16", path], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            made.append((path, sentence))
    return made


def read_speech():
    """(path, reference text) for the librivox and cards recordings."""
    pairs = []
    for folder, listing in ((LIBRIVOX, "transcription"), (CARDS, "cards.transcription")):
        with open(os.path.join(folder, listing), encoding="utf-8") as entries:
            for entry in entries:
                match = re.match(r"(.*)\((\S+)\)\s*$", entry)
                if match:
                    pairs.append((os.path.join(folder, match.group(2) + ".wav"), match.group(1)))
    return pairs


def measure(tool):
    words = vocabulary()
    with open(SENTENCES, encoding="utf-8") as listing:
        sentences = [line.strip() for line in listing if line.strip()]
    said = found = 0
    misses = []
    with tempfile.TemporaryDirectory(prefix="zentrova-vocabulary-") as folder:
        for path, sentence in synthesize(folder, sentences):
            _, text = tool_run(tool, path)
            expected = spoken(sentence, words)
            hit = recall(tokens(text), expected)
            said, found = said + len(expected), found + hit
            if hit < len(expected):
                misses.append(f"{os.path.basename(path)}: \"{text}\"")
    false = []
    librivox = []
    refs = transcripts()
    for path, reference in read_speech():
        _, text = tool_run(tool, path)
        false += false_words(text, reference, words)
        utterance = os.path.basename(path)[:-len(".wav")]
        if path.startswith(LIBRIVOX) and utterance in refs:
            librivox.append((refs[utterance], text))
    return said, found, misses, false, word_error_rate(librivox) if librivox else None


def rows(tool):
    recall_row = Row("Vocabulary recall, synthesized dictation", target=">= 90 %")
    false_row = Row("False vocabulary words, read speech", target="<= 2")
    missing = [name for name in ("flite", "sox") if not shutil.which(name)]
    if missing or not os.path.isdir(CARDS):
        why = f"n/a ({', '.join(missing) or CARDS} missing: scripts/setup.sh)"
        recall_row.ours = false_row.ours = why
        return [recall_row, false_row]
    log("vocabulary: synthesized dictation and read speech")
    try:
        said, found, misses, false, wer = measure(tool)
    except (NotAvailable, subprocess.CalledProcessError) as why:
        recall_row.ours = false_row.ours = f"n/a ({why})"
        return [recall_row, false_row]
    rate = found / said if said else 0.0
    recall_row.ours = f"{rate * 100:.1f} %"
    recall_row.met = "yes" if rate >= 0.9 else "NO"
    recall_row.notes.append(f"{found} of {said} spoken vocabulary words, voices {', '.join(VOICES)}")
    recall_row.notes += misses
    false_row.ours = str(len(false))
    false_row.met = "yes" if len(false) <= 2 else "NO"
    false_row.notes.append("librivox and cards recordings: " + (", ".join(false) or "none"))
    if wer is not None:
        false_row.notes.append(f"librivox word error rate with the vocabulary: {wer * 100:.1f} %")
    return [recall_row, false_row]


if __name__ == "__main__":
    sys.dont_write_bytecode = True
    print_rows(rows(sys.argv[1]))
