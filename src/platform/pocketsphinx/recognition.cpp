#include "platform/pocketsphinx/recognition.h"

#include <pocketsphinx.h>

#include <algorithm>
#include <functional>

#include "platform/pocketsphinx/heard-words.h"
#include "platform/pocketsphinx/stable-words.h"

namespace platform::pocketsphinx {
namespace {

// Speech without a pause is cut after this much audio so that one utterance
// cannot hold the decoder's memory and end-of-audio latency without bound.
constexpr size_t kMaxUtteranceSamples = static_cast<size_t>(30 * sound::kDecoderRate);
std::string joined(const Words& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

class Segmenter {
 public:
  Segmenter(ps_decoder_t* decoder, transcript::Transcript& transcript, size_t sliceSamples)
      : decoder_(decoder), transcript_(transcript), sliceSamples_(sliceSamples) {}

  bool start() { return ps_start_utt(decoder_) >= 0; }

  // Decodes `samples`, ending and restarting the utterance on silence, and
  // calls `sliced` after each slice of audio and after each utterance's end.
  // A large batch (the audio captured while the model loaded) then yields
  // text as the decoder catches up, not only once the whole batch is
  // through.
  bool feed(const std::vector<int16_t>& samples, const std::function<void()>& sliced) {
    for (size_t at = 0; at < samples.size(); at += sliceSamples_) {
      const size_t count = std::min(sliceSamples_, samples.size() - at);
      if (ps_process_raw(decoder_, samples.data() + at, count, FALSE, FALSE) < 0) return false;
      inUtterance_ += count;
      sinceSlice_ += count;
      const bool inSpeech = ps_get_in_speech(decoder_) != 0;
      if (inSpeech) speechSeen_ = true;
      bool ended = false;
      if (speechSeen_ && (!inSpeech || inUtterance_ >= kMaxUtteranceSamples)) {
        if (!finish() || !start()) return false;
        ended = true;
      }
      if (!ended && sinceSlice_ < sliceSamples_) continue;
      sinceSlice_ = ended ? 0 : sinceSlice_ - sliceSamples_;
      if (sliced) sliced();
    }
    return true;
  }

  // What the utterance in progress has settled on, into the transcript.
  void refresh() {
    if (speechSeen_) transcript_.setHypothesis(joined(stable_.update(heardWords(decoder_))));
  }

  // Ends the utterance in progress, committing its text when it held speech.
  // The end-of-utterance search has the last word on every word, shown or
  // not.
  bool finish() {
    const bool ended = ps_end_utt(decoder_) >= 0;
    if (ended && speechSeen_) transcript_.commit(joined(heardWords(decoder_)));
    speechSeen_ = false;
    inUtterance_ = 0;
    stable_.reset();
    return ended;
  }

 private:
  ps_decoder_t* decoder_;
  transcript::Transcript& transcript_;
  const size_t sliceSamples_;
  StableWords stable_;
  bool speechSeen_ = false;  // the decoder reported speech in this utterance
  size_t inUtterance_ = 0;   // samples fed since the utterance started
  size_t sinceSlice_ = 0;    // samples fed since `sliced` was last called
};

}  // namespace

Result<> recognize(ps_decoder_t* decoder, sound::AudioSource& source,
                   transcript::Transcript& transcript, const PartialText& partial,
                   size_t sliceSamples) {
  Segmenter segmenter(decoder, transcript, sliceSamples);
  if (!segmenter.start()) return Error{kDecoderFailure};
  std::vector<int16_t> samples;
  std::string reported;
  // Text is worth sending the moment it changes; only a change is sent.
  std::function<void()> report;
  if (partial) {
    report = [&] {
      segmenter.refresh();
      if (transcript.text() == reported) return;
      reported = transcript.text();
      partial(reported);
    };
  }
  Result<> read = source.next(samples);
  for (; read.ok() && !samples.empty(); read = source.next(samples)) {
    if (!segmenter.feed(samples, report)) {
      segmenter.finish();
      return Error{kDecoderFailure};
    }
  }
  const bool ended = segmenter.finish();
  if (!read.ok()) return read;
  if (!ended) return Error{kDecoderFailure};
  return {};
}

}  // namespace platform::pocketsphinx
