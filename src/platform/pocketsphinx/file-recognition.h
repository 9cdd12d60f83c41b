// Recognition of a whole file on every core.
//
// The reader (the calling thread) cuts the file's audio into segments at
// pauses (pause-cutter.h) and queues them; decoder workers take them in turn,
// each segment decoded like a dictation of its own (recognition.h), and their
// texts are committed in the file's order, however the decoders finish.
//
// Decoders are loaded only when they would have work: the first with the
// first segment, each further one (up to decoderCount) when more than one
// segment waits beyond the free decoders, so a file that one decoder
// finishes about as soon never costs a second one. The queue holds at most one segment per decoder, so
// memory does not grow with the file's length.
//
// Progress: the text so far (the committed segments, then the hypothesis of
// the earliest segment not yet committed) is reported each time it has grown
// by a fifth since the last report. The reports are geometric in size, so
// all of them together stay within six times the final text however long the
// file, while a host still sees the text grow from the first words on; one
// report per change would make the output grow with the square of the length.
#pragma once

#include <functional>
#include <string>

#include "platform/error.h"
#include "platform/sound/audio-source.h"
#include "platform/pocketsphinx/decoder.h"
#include "platform/pocketsphinx/recognition.h"
#include "platform/transcript/transcript.h"

namespace platform::pocketsphinx {

// The most decoders one file gets, however many cores there are: each holds
// a search of its own over the whole model (decoder.h), so memory grows with
// their number. Four keep a 16-core machine four times as fast as one core
// and bound a file's memory (README).
inline constexpr size_t kMostDecoders = 4;

// How many decoders a file may use on `cores` usable processors: one per
// core, at least one, at most kMostDecoders.
size_t decoderCount(size_t cores);

// A fresh decoder, or the error when none can be loaded. Called on worker
// threads.
using DecoderSupply = std::function<Result<Decoder>()>;

// Runs on the task's worker thread. `text` receives the committed text:
// all of it on success; after an error, the text of the segments before the
// failure, so that it is not lost. `progress` (may be empty) is called on a
// worker thread.
Result<> recognizeFile(const DecoderSupply& supply, sound::AudioSource& source,
                       const transcript::FormatOptions& format, std::shared_ptr<const transcript::WordCase> wordCase,
                       const PartialText& progress, std::string& text);

}  // namespace platform::pocketsphinx
