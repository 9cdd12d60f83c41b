// The text of one recognition: the segments the decoder has finished plus
// the hypothesis of the one in progress, formatted the way the request asks.
//
// Formatting, applied per segment:
// - Contextual strings: a decoded word equal to a contextual string up to
//   ASCII case takes the string's casing ("claude" becomes "Claude"). The
//   decoder only produces words of its pronunciation dictionary, which holds
//   lowercase entries, so strings it does not know are skipped by nature.
// - Punctuation on: the segment starts with a capital letter and a finished
//   segment ends with a full stop; English models also capitalise the
//   pronoun "I" and its contractions. Nothing else is punctuated.
// Decoder fillers (<s>, </s>, <sil>, [NOISE], ...) never reach the text.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

namespace platform::pocketsphinx {

struct FormatOptions {
  bool addsPunctuation = false;
  bool english = false;  // the model's language is English
  std::vector<std::string> contextualStrings;
};

class Transcript {
 public:
  explicit Transcript(const FormatOptions& options);

  // `hypothesis`: the decoder's text for the segment in progress.
  void setHypothesis(const std::string& hypothesis);
  // Ends the segment in progress with its final `text` (may be empty).
  void commit(const std::string& text);
  // Committed segments and the current hypothesis, joined by spaces.
  std::string text() const;

 private:
  std::string format(const std::string& segment, bool finished) const;
  std::string caseWord(const std::string& word) const;

  bool punctuate_;
  bool english_;
  std::unordered_map<std::string, std::string> casing_;  // lowercase -> as given
  std::string committed_;
  std::string current_;  // formatted, or empty
};

}  // namespace platform::pocketsphinx
