#include "recognition/vocabulary.h"

#include <string>
#include <vector>

namespace zentrova {
namespace {

std::vector<std::string> contextualStrings() { return {words.begin(), words.end()}; }

}  // namespace

void configureLiveRequest(platform::RecognitionRequest& request) {
  request.setShouldReportPartialResults(true);
  request.setRequiresOnDeviceRecognition(false);
  request.setContextualStrings(contextualStrings());
  request.setAddsPunctuation(true);
}

void configureFileRequest(platform::RecognitionRequest& request) {
  request.setContextualStrings(contextualStrings());
  request.setAddsPunctuation(true);
}

}  // namespace zentrova
