// Where the tests find what they did not make: Debian's pocketsphinx-testdata
// (read speech with its transcripts) and the model the tool is built with.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

inline constexpr const char* kTestDataDir = "/usr/share/pocketsphinx/test/data";
inline constexpr const char* kLibrivoxDir = "/usr/share/pocketsphinx/test/data/librivox";
inline constexpr const char* kCardsDir = "/usr/share/pocketsphinx/test/data/cards";

// The librivox recording `name` ("sense_and_sensibility_01_austen_64kb-0870").
std::string librivox(const std::string& name);

// The model root built into the tool (ZENTROVA_MODEL_ROOT).
const char* modelRoot();

// The read speech of the test data, librivox then cards: each recording
// with its reference text. Empty when a listing cannot be read.
struct ReadRecording {
  std::string path;
  std::string reference;
  bool librivox = false;
};
std::vector<ReadRecording> readSpeech();

}  // namespace testing_support
