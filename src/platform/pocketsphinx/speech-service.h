// The local speech service: PocketSphinx with the models under a model root,
// one folder per locale.
//
// What the service does with the contract's freedoms:
// - Locales: an identifier names folder `<root>/<lowercase, '_' as '-'>`
//   ("en_US" -> "en-us") holding `<folder>/` (acoustic model),
//   `<folder>.lm.bin` and `cmudict-<folder>.dict`. No folder, no recognizer;
//   missing or unreadable files, a recognizer that is not available.
// - The first recognizer for a folder starts loading its decoder in the
//   background; each task decodes on a worker thread of its own with a
//   decoder nobody used before, and delivers on the main queue.
// - Authorization is granted at once: nothing leaves the machine, so the
//   on-device option changes nothing.
// - Partial results default to on for both request kinds, then one final
//   result or one error. A live task reports each time the text changes; a
//   file task each time the text has grown by a fifth (file-recognition.h),
//   so that its output stays linear in the file's length.
// - A file is cut at pauses and its segments decoded on up to one decoder
//   per core, loaded only once a segment waits for one; a pipe or FIFO is
//   read with a bounded look-back window (pipe-input.h).
// - Live audio: channel 0 of each float buffer, at the buffer's own rate;
//   buffers without float data are ignored. Files: every channel mixed down
//   to their mean, read through libsndfile. Both resampled to 16 kHz with
//   libsoxr.
// - Contextual strings are made likely to be heard, and set the casing of
//   the words that match them (transcript.h). Single words only: the
//   dictionary's words are; a word it lacks gets pronunciations when it is
//   an acronym (spelled letter by letter) or one of the names the tool
//   sends (pronunciations.h), else it cannot be heard. A unigram model of
//   the words is mixed into the main language model (vocabulary-model.h).
//   The strings reach the background load as soon as a request records
//   them, so a task usually finds its decoder prepared with them; a task
//   whose strings differ from the prepared ones loads a decoder of its own.
// - Punctuation: sentence case and a full stop per segment; for English
//   models also the capitals of names, days and nationalities from Debian's
//   word lists, titles as "Mr.", and "?" after a question (transcript.h).
#pragma once

#include <memory>
#include <string>

#include "platform/speech.h"

namespace platform::pocketsphinx {

// Cheap to call: no model is read here.
std::unique_ptr<SpeechService> makeSpeechService(std::string modelRoot);

}  // namespace platform::pocketsphinx
