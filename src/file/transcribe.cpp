#include "file/transcribe.h"

#include "platform/backend.h"
#include "platform/file-url.h"
#include "recognition/results.h"
#include "recognition/vocabulary.h"

namespace zentrova {

void transcribe(const std::string& path, const std::shared_ptr<platform::SpeechRecognizer>& recognizer) {
  // Whether the file exists and holds audio is the recognizer's to find out:
  // its error reaches the host like any other.
  std::shared_ptr<platform::URLRecognitionRequest> request =
      platform::speech().urlRequest(platform::fileURLWithPath(path));
  configureFileRequest(*request);
  recognizer->recognitionTask(std::move(request), onResult);
}

}  // namespace zentrova
