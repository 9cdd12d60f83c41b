// One recognition on one decoder: feeds the audio, cuts it into segments on
// the decoder's own speech/silence detection, and keeps the transcript.
//
// A segment ends once the decoder reports silence after speech (or after a
// long stretch without a pause), its final text is committed and a new
// utterance starts, so the decoder's search state never grows with the
// length of a dictation.
#pragma once

#include <functional>
#include <string>

#include "platform/error.h"
#include "platform/sound/audio-source.h"
#include "platform/transcript/transcript.h"

struct ps_decoder_s;

namespace platform::pocketsphinx {

// What a task reports when the decoder fails, or the library stops in it. A
// text, not an Error: detached worker threads report it, possibly while the
// process exits and static objects go away.
inline constexpr const char* kDecoderFailure =
    "The speech recognizer failed while decoding the audio.";

// Called with the whole formatted text each time it changes mid-audio.
using PartialText = std::function<void(const std::string& text)>;

// Runs on the task's worker thread, the decoder's only user meanwhile.
// Fails when the audio or the decoder failed; otherwise the transcript holds
// the final text.
Result<> recognize(ps_decoder_s* decoder, sound::AudioSource& source, transcript::Transcript& transcript,
                   const PartialText& partial);

}  // namespace platform::pocketsphinx
