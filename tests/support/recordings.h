// Recordings the tests make from the test data or from flite's voices, with
// sox, never through a shell.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

// Runs sox with `args`; true when it succeeded.
bool sox(const std::vector<std::string>& args);

// `source` converted to `target` by sox, with `options` (white-space
// separated, as on a command line: "-r 8000", "-C 64") between them.
bool convert(const std::string& source, const std::string& options, const std::string& target);

// Read speech with silence around it, for live dictation: two librivox
// utterances, 0.3 s of lead-in and 0.7 s of tail, so that the recognizer
// sees the speech start and end. Made once per test process in a scratch
// folder of its own; throws when sox fails.
struct PaddedSpeech {
  std::string path;
  std::vector<std::string> words;  // the transcripts', as wer::words() gives them
  double seconds = 0;
};
const PaddedSpeech& paddedSpeech();

// Where the first spoken word of paddedSpeech() ends, in seconds from its
// start: the lead-in plus the first word as the engine's own alignment of
// the clip places its end (0.36 s).
inline constexpr double kPaddedSpeechFirstWordEnd = 0.3 + 0.36;

// The longest librivox clip, so that one misheard word does not decide a
// bound on its word error rate; PocketSphinx itself gets 8 of its 19 words
// wrong in the original.
inline constexpr const char* kLongestClip = "sense_and_sensibility_01_austen_64kb-0920";

// kLongestClip in other containers, codecs, rates and channel counts, and
// the word error rate each may have once the tool has converted it back.
struct Conversion {
  const char* file;
  const char* soxOptions;  // for convert()
  double bound;
};
inline constexpr Conversion kConversions[] = {
    {"clip.flac", "", 0.5},
    {"clip.ogg", "-C 6", 0.5},
    {"clip.mp3", "-C 64", 0.5},
    {"stereo44k.wav", "-r 44100 -c 2", 0.5},
    {"float48k.wav", "-r 48000 -e floating-point -b 32", 0.5},
    // Half of the model's bandwidth is missing: only roughly right.
    {"narrow8k.wav", "-r 8000", 0.8},
};

// `text` spoken by flite's `voice` into a 16 kHz mono 16-bit WAV at `wav`,
// followed by `tailSeconds` of silence; `scratch` takes flite's own output.
bool synthesize(const std::string& voice, const std::string& text, const std::string& scratch,
                const std::string& wav, double tailSeconds = 0);

}  // namespace testing_support
