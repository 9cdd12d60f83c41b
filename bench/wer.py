"""Word error rate against the test data's transcripts."""

import os
import re

LIBRIVOX = "/usr/share/pocketsphinx/test/data/librivox"


def words(text):
    """Lower-case words without punctuation or sentence markers. "mr" and
    "mister" are one word: the transcripts spell it out, the dictionary
    does not."""
    found = re.findall(r"[a-z0-9']+", text.lower().replace("<s>", " ").replace("</s>", " "))
    return ["mister" if w == "mr" else w for w in found]


def edit_distance(reference, hypothesis):
    previous = list(range(len(hypothesis) + 1))
    for i, ref_word in enumerate(reference, 1):
        current = [i]
        for j, hyp_word in enumerate(hypothesis, 1):
            current.append(min(previous[j - 1] + (ref_word != hyp_word),
                               previous[j] + 1, current[j - 1] + 1))
        previous = current
    return previous[-1]


def transcripts():
    """Utterance id -> reference words, from the test data's transcription."""
    found = {}
    with open(os.path.join(LIBRIVOX, "transcription"), encoding="utf-8") as listing:
        for entry in listing:
            match = re.match(r"(.*)\((\S+)\)\s*$", entry)
            if match:
                found[match.group(2)] = words(match.group(1))
    return found


def word_error_rate(pairs):
    """Corpus word error rate over (reference words, hypothesis text) pairs:
    all errors over all reference words, so short utterances weigh less."""
    errors = sum(edit_distance(ref, words(hyp)) for ref, hyp in pairs)
    total = sum(len(ref) for ref, _ in pairs)
    return errors / total

