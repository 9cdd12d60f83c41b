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

// The most audio handed to the decoder per call; its speech/silence state is
// read after each call, and its hypothesis once per slice however the audio
// arrives (a microphone's buffers are a few tens of milliseconds), so that
// the hypotheses live text compares are always the same stretch of audio
// apart (stable-words.h).
// - Live: 64 ms. Agreement over shorter slices shows a settled word sooner.
// - A file: 128 ms. Its progress is reported only as its text grows by a
//   fifth, so a shorter slice gains it nothing, while it moves where the
//   decoder's speech/silence state ends segments, and with them the
//   transcript whose word error rate the benchmark holds.
inline constexpr size_t kLiveSliceSamples = 1024;
inline constexpr size_t kFileSliceSamples = 2048;

// Runs on the task's worker thread, the decoder's only user meanwhile.
// Fails when the audio or the decoder failed; otherwise the transcript holds
// the final text. `sliceSamples`: kLiveSliceSamples or kFileSliceSamples.
Result<> recognize(ps_decoder_s* decoder, sound::AudioSource& source,
                   transcript::Transcript& transcript, const PartialText& partial,
                   size_t sliceSamples);

}  // namespace platform::pocketsphinx
