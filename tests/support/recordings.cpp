#include "support/recordings.h"

#include <sstream>
#include <stdexcept>

#include "support/child.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "support/wer.h"

namespace testing_support {
namespace {

RunResult runQuietly(std::vector<std::string> argv) {
  ChildOptions options;
  options.argv = std::move(argv);
  return run(options, "", 120);
}

RunResult runSox(const std::vector<std::string>& args) {
  std::vector<std::string> argv{"/usr/bin/sox"};
  argv.insert(argv.end(), args.begin(), args.end());
  return runQuietly(std::move(argv));
}

}  // namespace

bool sox(const std::vector<std::string>& args) { return runSox(args).status == 0; }

bool convert(const std::string& source, const std::string& options, const std::string& target) {
  std::vector<std::string> args{source};
  std::istringstream split(options);
  for (std::string option; split >> option;) args.push_back(option);
  args.push_back(target);
  return sox(args);
}

const PaddedSpeech& paddedSpeech() {
  static const TempDir folder("speech");
  static const PaddedSpeech speech = [] {
    // The model hears these two well enough that a word error rate far
    // above its usual one points at the capture, not at the recognizer.
    const std::string first = "sense_and_sensibility_01_austen_64kb-0870";
    const std::string second = "sense_and_sensibility_01_austen_64kb-0930";
    PaddedSpeech made;
    made.path = folder / "padded-speech.wav";
    const auto result = runSox({librivox(first), librivox(second), made.path, "pad", "0.3", "0.7"});
    if (result.status != 0) throw std::runtime_error("sox failed: " + result.stderrText);
    const auto transcripts = wer::librivoxTranscripts();
    for (const std::string& name : {first, second}) {
      const auto found = transcripts.find(name);
      if (found == transcripts.end()) throw std::runtime_error("no transcript for " + name);
      const auto words = wer::words(found->second);
      made.words.insert(made.words.end(), words.begin(), words.end());
    }
    made.seconds = 0.3 + 7.10 + 3.29 + 0.7;
    return made;
  }();
  return speech;
}

bool synthesize(const std::string& voice, const std::string& text, const std::string& scratch,
                const std::string& wav, double tailSeconds) {
  if (runQuietly({"/usr/bin/flite", "-voice", voice, "-t", text, "-o", scratch}).status != 0) return false;
  std::vector<std::string> args{scratch, "-r", "16000", "-c", "1", "-b", "16", wav};
  if (tailSeconds > 0) args.insert(args.end(), {"pad", "0", std::to_string(tailSeconds)});
  return sox(args);
}

}  // namespace testing_support
