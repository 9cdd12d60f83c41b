// The speech-recognition service: recognizers per locale, authorization,
// requests with their options, and recognition tasks.
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

struct RecognitionResult {
  std::string formattedString;  // the best transcription, whole, formatted
  bool isFinal = false;         // true on the task's last result
};

// Receives each delivery of a task: a result, an error, both or neither.
// Always called on the main queue.
using ResultHandler = std::function<void(const std::optional<RecognitionResult>& result,
                                         const std::optional<Error>& error)>;

// Options common to both request kinds; they apply to the task started next.
class RecognitionRequest {
 public:
  virtual ~RecognitionRequest() = default;
  virtual void setShouldReportPartialResults(bool value) = 0;
  virtual void setRequiresOnDeviceRecognition(bool value) = 0;
  virtual void setContextualStrings(const std::vector<std::string>& strings) = 0;
  virtual void setAddsPunctuation(bool value) = 0;
};

// A request fed with captured buffers.
class AudioBufferRecognitionRequest : public RecognitionRequest {
 public:
  // Audio thread. Copies the buffer and returns without waiting on the
  // recognizer; accepted before a task exists too.
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
  // Returns at once; `handler` runs once, on a thread of the backend's
  // choosing, with the authorization status (3: authorized).
  virtual void requestAuthorization(std::function<void(long status)> handler) = 0;
  virtual std::shared_ptr<AudioBufferRecognitionRequest> audioBufferRequest() = 0;
  virtual std::shared_ptr<URLRecognitionRequest> urlRequest(const FileURL& url) = 0;
};

}  // namespace platform
