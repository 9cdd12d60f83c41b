#include "platform/pocketsphinx/requests.h"

namespace platform::pocketsphinx {

void RequestState::record(const std::function<void(RequestOptions&)>& change) {
  std::lock_guard lock(mutex_);
  change(options_);
}

void RequestState::recordContextualStrings(const std::vector<std::string>& strings) {
  record([&strings](RequestOptions& options) { options.contextualStrings = strings; });
  if (listener_) listener_(strings);
}

RequestOptions RequestState::options() {
  std::lock_guard lock(mutex_);
  return options_;
}

void LiveRequest::setShouldReportPartialResults(bool value) {
  state_.record([value](RequestOptions& options) { options.reportsPartialResults = value; });
}

void LiveRequest::setContextualStrings(const std::vector<std::string>& strings) {
  state_.recordContextualStrings(strings);
}

void LiveRequest::setAddsPunctuation(bool value) {
  state_.record([value](RequestOptions& options) { options.addsPunctuation = value; });
}

// Audio thread. Keeps channel 0 only: a microphone's channels carry the same
// voice, and mixing them risks cancelling out-of-phase pairs for nothing.
// The copy is the one allocation here; the hand-off itself never waits on
// the decoder.
void LiveRequest::appendAudioPCMBuffer(const PcmBuffer& buffer) {
  if (buffer.floatChannelData == nullptr || buffer.format.channelCount == 0) return;
  const float* channel = buffer.floatChannelData[0];
  if (channel == nullptr || buffer.frameLength == 0) return;
  handoff_->push({std::vector<float>(channel, channel + buffer.frameLength), buffer.format.sampleRate});
}

void FileRequest::setShouldReportPartialResults(bool value) {
  state_.record([value](RequestOptions& options) { options.reportsPartialResults = value; });
}

void FileRequest::setContextualStrings(const std::vector<std::string>& strings) {
  state_.recordContextualStrings(strings);
}

void FileRequest::setAddsPunctuation(bool value) {
  state_.record([value](RequestOptions& options) { options.addsPunctuation = value; });
}

}  // namespace platform::pocketsphinx
