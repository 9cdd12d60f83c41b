#include "support/test_data.h"

#include "support/wer.h"

namespace testing_support {

std::string librivox(const std::string& name) { return std::string(kLibrivoxDir) + "/" + name + ".wav"; }

const char* modelRoot() { return ZENTROVA_MODEL_ROOT; }

std::vector<ReadRecording> readSpeech() {
  std::vector<ReadRecording> recordings;
  for (const auto& [name, reference] : wer::librivoxTranscripts())
    recordings.push_back({librivox(name), reference, true});
  const auto cards = wer::transcripts(std::string(kCardsDir) + "/cards.transcription");
  for (const auto& [name, reference] : cards)
    recordings.push_back({std::string(kCardsDir) + "/" + name + ".wav", reference, false});
  return recordings;
}

}  // namespace testing_support
