#include "platform/pocketsphinx/transcript.h"

#include <sstream>

namespace platform::pocketsphinx {
namespace {

std::string asciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool isFiller(const std::string& word) {
  return word.empty() || word.front() == '<' || word.front() == '[' || word.front() == '+';
}

bool isSingleWord(const std::string& text) {
  if (text.empty()) return false;
  return text.find_first_of(" \t\r\n") == std::string::npos;
}

// "i", "i'm", "i'll", "i'd", "i've" and the like.
bool isEnglishPronounI(const std::string& word) {
  return word == "i" || (word.size() > 2 && word[0] == 'i' && word[1] == '\'');
}

}  // namespace

Transcript::Transcript(const FormatOptions& options)
    : punctuate_(options.addsPunctuation), english_(options.english) {
  for (const std::string& string : options.contextualStrings) {
    if (isSingleWord(string)) casing_.emplace(asciiLower(string), string);
  }
}

void Transcript::setHypothesis(const std::string& hypothesis) {
  current_ = format(hypothesis, false);
}

void Transcript::commit(const std::string& text) {
  current_.clear();
  const std::string segment = format(text, true);
  if (segment.empty()) return;
  if (!committed_.empty()) committed_ += ' ';
  committed_ += segment;
}

std::string Transcript::text() const {
  if (committed_.empty()) return current_;
  if (current_.empty()) return committed_;
  return committed_ + ' ' + current_;
}

std::string Transcript::format(const std::string& segment, bool finished) const {
  std::istringstream words(segment);
  std::string word, out;
  while (words >> word) {
    if (isFiller(word)) continue;
    if (!out.empty()) out += ' ';
    out += caseWord(word);
  }
  if (out.empty() || !punctuate_) return out;
  if (out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
  if (finished) out += '.';
  return out;
}

std::string Transcript::caseWord(const std::string& word) const {
  const auto given = casing_.find(asciiLower(word));
  if (given != casing_.end()) return given->second;
  if (punctuate_ && english_ && isEnglishPronounI(word)) return "I" + word.substr(1);
  return word;
}

}  // namespace platform::pocketsphinx
