// The speech-recognition service: recognizers per locale, authorization,
// requests with their options, and recognition tasks.
//
// A call or parameter marked "Optional" is one a backend may ignore (a call
// then does nothing); everything else it must honour as described.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/error.h"
#include "platform/file-url.h"
#include "platform/locale.h"

namespace platform {

// The authorization status that lets recognition run; the handler of
// requestAuthorization may pass any other value, and each is a refusal.
inline constexpr long kAuthorizedStatus = 3;

struct RecognitionResult {
  std::string formattedString;  // the best transcription, whole, formatted
  bool isFinal = false;         // true on the task's last result
};

// Receives each delivery of a task: a result, an error, both or neither.
// Always called on the main queue. Not a Result (error.h): a task may deliver
// the text it has together with the error that ended it.
using ResultHandler = std::function<void(const std::optional<RecognitionResult>& result,
                                         const std::optional<Error>& error)>;

// Options common to both request kinds; they apply to the task started next.
class RecognitionRequest {
 public:
  virtual ~RecognitionRequest() = default;
  // False: the task delivers its final result only.
  virtual void setShouldReportPartialResults(bool value) = 0;
  // Optional: a backend that never leaves the device, or cannot stay on it,
  // ignores it.
  virtual void setRequiresOnDeviceRecognition(bool value) = 0;
  // Optional: words to make likely to be heard, a hint that a backend may
  // take in part (single words only, say) or not at all.
  virtual void setContextualStrings(const std::vector<std::string>& strings) = 0;
  // True: results come with sentence case and punctuation.
  virtual void setAddsPunctuation(bool value) = 0;
};

// A request fed with captured buffers.
class AudioBufferRecognitionRequest : public RecognitionRequest {
 public:
  // Audio thread. Copies the buffer and returns without waiting on the
  // recognizer; accepted before a task exists too. Optional: channels after
  // the first, and buffers without float samples.
  virtual void appendAudioPCMBuffer(const PcmBuffer& buffer) = 0;
  // Main queue. No audio follows; a final result or an error comes next.
  virtual void endAudio() = 0;
};

// A request over the audio of a file.
class URLRecognitionRequest : public RecognitionRequest {};

class SpeechRecognizer {
 public:
  virtual ~SpeechRecognizer() = default;
  // False: recognition cannot be used now.
  virtual bool isAvailable() = 0;
  // Starts recognition of `request` (made by the same service); `handler`
  // gets every delivery on the main queue. The task keeps itself and its
  // request alive until it has delivered its last result or error.
  virtual void recognitionTask(std::shared_ptr<RecognitionRequest> request,
                               ResultHandler handler) = 0;
};

class SpeechService {
 public:
  virtual ~SpeechService() = default;
  // A recognizer for `locale`, or null when the locale is not supported.
  virtual std::shared_ptr<SpeechRecognizer> recognizer(const Locale& locale) = 0;
  // Returns at once, or once `handler` has run; `handler` runs once, on a
  // thread of the backend's choosing, with the authorization status
  // (kAuthorizedStatus or a refusal). A backend with nothing to ask answers
  // kAuthorizedStatus at once.
  virtual void requestAuthorization(std::function<void(long status)> handler) = 0;
  virtual std::shared_ptr<AudioBufferRecognitionRequest> audioBufferRequest() = 0;
  virtual std::shared_ptr<URLRecognitionRequest> urlRequest(const FileURL& url) = 0;
};

}  // namespace platform
