#include "platform/pocketsphinx/pronunciations.h"

#include <array>
#include <map>

namespace platform::pocketsphinx {
namespace {

// More variants make a word easier to hear and easier to hear by mistake.
constexpr size_t kMaxVariants = 4;

// The words the tool sends that the shipped dictionary lacks. The first
// variant is the common American reading; the others are how speakers (and
// the synthesized voices the tests use) also say them.
const std::map<std::string, std::vector<std::string>>& handWritten() {
  // Never destroyed: the background load may still read it while the
  // process exits.
  static const auto& table = *new std::map<std::string, std::vector<std::string>>{
      {"tavrin", {"T AE V R IH N", "T AA V R IH N"}},
      {"mordrey", {"M AO R D R IY", "M AO R D R EY"}},
      {"oskel", {"AA S K AH L", "OW S K AH L", "AH S K AH L"}},
      {"zentrova", {"Z EH N T R OW V AH", "Z EH N T R AH V AH"}},
      {"marlisk", {"M AA R L IH S K"}},
      {"tulvane", {"T AH L V EY N", "T UW L V EY N", "T AH L V AH N"}},
      {"grenholt", {"G R EH N HH OW L T", "G R EH N OW L T"}},
      {"wendrel", {"W EH N D R AH L"}},
      {"vercel", {"V ER S AH L", "V ER S EH L"}},
      {"zoho", {"Z OW HH OW"}},
      {"proforma", {"P R OW F AO R M AH"}},
      // A dictated mark, not a contextual string.
      {"semicolon", {"S EH M IY K OW L AH N", "S EH M AY K OW L AH N", "S EH M IH K OW L AH N"}},
  };
  return table;
}

std::string asciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The words that say a run of digits: "20" is "twenty", "7" is "seven";
// longer runs and runs with a leading zero digit by digit.
std::vector<std::string> numberWords(const std::string& digits) {
  static const std::array<const char*, 20> kSmallNumbers = {
      "zero",    "one",     "two",       "three",    "four",     "five",    "six",
      "seven",   "eight",   "nine",      "ten",      "eleven",   "twelve",  "thirteen",
      "fourteen", "fifteen", "sixteen",  "seventeen", "eighteen", "nineteen"};
  static const std::array<const char*, 10> kTens = {"",      "",      "twenty",  "thirty", "forty",
                                                   "fifty", "sixty", "seventy", "eighty", "ninety"};
  std::vector<std::string> words;
  if (digits.size() > 2 || (digits.size() == 2 && digits[0] == '0')) {
    for (char digit : digits) words.emplace_back(kSmallNumbers[static_cast<size_t>(digit - '0')]);
    return words;
  }
  const size_t value = static_cast<size_t>(std::stoi(digits));
  if (value < kSmallNumbers.size()) return {kSmallNumbers[value]};
  words.emplace_back(kTens[value / 10]);
  if (value % 10 != 0) words.emplace_back(kSmallNumbers[value % 10]);
  return words;
}

// The spoken parts of an acronym, in order: letter names and number words.
std::vector<std::string> spokenParts(const std::string& acronym) {
  std::vector<std::string> parts;
  for (size_t at = 0; at < acronym.size();) {
    if (!isDigit(acronym[at])) {
      parts.push_back(asciiLower(acronym.substr(at++, 1)));
      continue;
    }
    size_t end = at;
    while (end < acronym.size() && isDigit(acronym[end])) ++end;
    for (std::string& word : numberWords(acronym.substr(at, end - at))) parts.push_back(std::move(word));
    at = end;
  }
  return parts;
}

// A letter's name: the dictionary writes "a." for the letter and "a" for the
// article, so the dotted form comes first when there is one.
std::vector<std::string> letterOrWord(const std::string& part, const DictionaryLookUp& lookUp) {
  if (part.size() == 1) {
    std::vector<std::string> letter = lookUp(part + ".");
    if (!letter.empty()) return letter;
  }
  return lookUp(part);
}

// Every combination of the parts' variants, earlier variants first, at most
// kMaxVariants; empty when a part has no pronunciation.
std::vector<std::string> spelled(const std::string& acronym, const DictionaryLookUp& lookUp) {
  std::vector<std::string> combined = {""};
  for (const std::string& part : spokenParts(acronym)) {
    const std::vector<std::string> variants = letterOrWord(part, lookUp);
    if (variants.empty()) return {};
    std::vector<std::string> next;
    for (const std::string& prefix : combined) {
      for (const std::string& variant : variants) {
        if (next.size() < kMaxVariants) next.push_back(prefix.empty() ? variant : prefix + " " + variant);
      }
    }
    combined = std::move(next);
  }
  return combined;
}

}  // namespace

bool isAcronym(const std::string& word) {
  if (word.size() < 2) return false;
  bool letter = false;
  for (char c : word) {
    if (c >= 'A' && c <= 'Z')
      letter = true;
    else if (!isDigit(c))
      return false;
  }
  return letter;
}

std::vector<std::string> missingPronunciations(const std::string& word, bool english,
                                               const DictionaryLookUp& lookUp) {
  if (isAcronym(word)) return spelled(word, lookUp);
  if (!english) return {};
  const auto found = handWritten().find(asciiLower(word));
  if (found == handWritten().end()) return {};
  return found->second;
}

}  // namespace platform::pocketsphinx
