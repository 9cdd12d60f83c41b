// The two request kinds of the local speech service. Their option setters
// only record values; a task copies them when it starts. Contextual strings
// are also passed on at once to whoever listens (the service, so that the
// decoder loading in the background can be prepared with them).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sound/audio-handoff.h"
#include "platform/speech.h"

namespace platform::pocketsphinx {

struct RequestOptions {
  std::optional<bool> reportsPartialResults;  // unset: the request kind's default
  std::vector<std::string> contextualStrings;
  bool addsPunctuation = false;
};

// Shared by both kinds: the recorded options, and the rule that a request
// feeds one task only.
class RequestState {
 public:
  using StringsListener = std::function<void(const std::vector<std::string>&)>;

  explicit RequestState(StringsListener listener = {}) : listener_(std::move(listener)) {}
  void record(const std::function<void(RequestOptions&)>& change);
  // Records the strings, then tells the listener, outside the lock.
  void recordContextualStrings(const std::vector<std::string>& strings);
  RequestOptions options();
  // True for the first caller only.
  bool claim() { return !claimed_.exchange(true); }

 private:
  std::mutex mutex_;  // options may be set on one thread and read on another
  RequestOptions options_;
  std::atomic<bool> claimed_{false};
  const StringsListener listener_;
};

class LiveRequest final : public AudioBufferRecognitionRequest {
 public:
  explicit LiveRequest(RequestState::StringsListener listener = {}) : state_(std::move(listener)) {}
  void setShouldReportPartialResults(bool value) override;
  void setRequiresOnDeviceRecognition(bool) override {}  // always on the device
  void setContextualStrings(const std::vector<std::string>& strings) override;
  void setAddsPunctuation(bool value) override;
  void appendAudioPCMBuffer(const PcmBuffer& buffer) override;
  void endAudio() override { handoff_->end(); }

  RequestState& state() { return state_; }
  std::shared_ptr<sound::AudioHandoff> handoff() const { return handoff_; }

 private:
  RequestState state_;
  std::shared_ptr<sound::AudioHandoff> handoff_ = std::make_shared<sound::AudioHandoff>();
};

class FileRequest final : public URLRecognitionRequest {
 public:
  explicit FileRequest(FileURL url, RequestState::StringsListener listener = {})
      : state_(std::move(listener)), url_(std::move(url)) {}
  void setShouldReportPartialResults(bool value) override;
  void setRequiresOnDeviceRecognition(bool) override {}  // always on the device
  void setContextualStrings(const std::vector<std::string>& strings) override;
  void setAddsPunctuation(bool value) override;

  RequestState& state() { return state_; }
  const FileURL& url() const { return url_; }

 private:
  RequestState state_;
  const FileURL url_;
};

}  // namespace platform::pocketsphinx
