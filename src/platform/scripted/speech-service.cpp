#include "platform/scripted/speech-service.h"

#include "platform/dispatch.h"
#include "platform/scripted/recorder.h"

namespace platform::scripted {
namespace {

std::string flag(bool value) { return value ? "true" : "false"; }

// The four options, recorded with their values, for either request kind.
template <typename Base>
class RecordedOptions : public Base {
 public:
  void setShouldReportPartialResults(bool value) override {
    record("setShouldReportPartialResults", {flag(value)});
  }
  void setRequiresOnDeviceRecognition(bool value) override {
    record("setRequiresOnDeviceRecognition", {flag(value)});
  }
  void setContextualStrings(const std::vector<std::string>& strings) override {
    std::string joined;
    for (const auto& entry : strings) joined += (joined.empty() ? "" : "\n") + entry;
    // One field per entry would need a variable argument list; a line feed
    // (escaped in the record) separates them instead.
    record("setContextualStrings", {std::to_string(strings.size()), joined});
  }
  void setAddsPunctuation(bool value) override { record("setAddsPunctuation", {flag(value)}); }
};

class BufferRequest final : public RecordedOptions<AudioBufferRecognitionRequest> {
 public:
  explicit BufferRequest(Deliveries& deliveries) : deliveries_(deliveries) {}
  void appendAudioPCMBuffer(const PcmBuffer& buffer) override {
    record("append", {std::to_string(buffer.frameLength)});
  }
  void endAudio() override {
    record("endAudio");
    deliveries_.happened(Trigger::kEndOfAudio);
  }

 private:
  Deliveries& deliveries_;
};

class URLRequest final : public RecordedOptions<URLRecognitionRequest> {};

class Recognizer final : public SpeechRecognizer {
 public:
  Recognizer(Deliveries& deliveries, bool available)
      : deliveries_(deliveries), available_(available) {}
  bool isAvailable() override {
    record("isAvailable", {flag(available_)});
    return available_;
  }
  void recognitionTask(std::shared_ptr<RecognitionRequest> request,
                       ResultHandler handler) override {
    const bool fileRequest = dynamic_cast<URLRecognitionRequest*>(request.get()) != nullptr;
    record("recognitionTask", {fileRequest ? "file" : "live"});
    deliveries_.taskStarted(std::move(handler), fileRequest);
  }

 private:
  Deliveries& deliveries_;
  bool available_;
};

class Speech final : public SpeechService {
 public:
  explicit Speech(Script& script) : script_(script) {}
  std::shared_ptr<SpeechRecognizer> recognizer(const Locale& locale) override {
    const auto& known = script_.scenario.recognizers;
    auto found = known.find(locale.identifier);
    if (found == known.end()) found = known.find("*");
    record("recognizer", {locale.identifier, found == known.end() ? "none" : "made"});
    if (found == known.end()) return nullptr;
    return std::make_shared<Recognizer>(script_.deliveries, found->second);
  }
  void requestAuthorization(std::function<void(long status)> handler) override {
    record("requestAuthorization");
    const long status = script_.scenario.authorization;
    onOwnThread([handler = std::move(handler), status] { handler(status); });
  }
  std::shared_ptr<AudioBufferRecognitionRequest> audioBufferRequest() override {
    record("audioBufferRequest");
    return std::make_shared<BufferRequest>(script_.deliveries);
  }
  std::shared_ptr<URLRecognitionRequest> urlRequest(const FileURL& url) override {
    record("urlRequest", {url.path});
    return std::make_shared<URLRequest>();
  }

 private:
  Script& script_;
};

std::string describe(const Delivery& delivery) {
  std::string text;
  if (delivery.result)
    text += (delivery.result->isFinal ? "final " : "partial ") + delivery.result->formattedString;
  if (delivery.error) text += (text.empty() ? "error " : " error ") + delivery.error->localizedDescription;
  return text.empty() ? "nothing" : text;
}

}  // namespace

void Deliveries::taskStarted(ResultHandler handler, bool fileRequest) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
  schedule(Trigger::kTaskStart);
  if (fileRequest) schedule(Trigger::kEndOfAudio);
  for (const Trigger trigger : pending_) schedule(trigger);
  pending_.clear();
}

void Deliveries::happened(Trigger trigger) {
  std::lock_guard lock(mutex_);
  if (!handler_) {
    pending_.insert(trigger);
    return;
  }
  schedule(trigger);
}

void Deliveries::schedule(Trigger trigger) {
  if (!fired_.insert(trigger).second) return;
  for (const Delivery& delivery : all_) {
    if (delivery.trigger != trigger) continue;
    Work deliver = [handler = handler_, delivery] {
      record("deliver", {describe(delivery)});
      handler(delivery.result, delivery.error);
    };
    // Delayed deliveries share the main queue's scaled clock with the
    // tool's own timers, so their races are decided in virtual time.
    if (delivery.delay > 0)
      mainAfter(delivery.delay, std::move(deliver));
    else
      mainAsync(std::move(deliver));
  }
}

std::unique_ptr<SpeechService> makeSpeechService(Script& script) {
  return std::make_unique<Speech>(script);
}

}  // namespace platform::scripted
