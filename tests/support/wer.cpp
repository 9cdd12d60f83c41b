#include "support/wer.h"

#include <algorithm>
#include <fstream>

#include "support/test_data.h"

namespace wer {
namespace {

bool isWordCharacter(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '\''; }

// Python's str.lower() on UTF-8 text, as far as the word pattern can see:
// ASCII capitals, and the only two other characters whose lower case holds
// an ASCII letter (U+0130, whose "i" is followed by a combining dot, and the
// Kelvin sign). Every other byte stays and is a separator.
std::string lowered(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= 'A' && c <= 'Z') {
      out += static_cast<char>(c - 'A' + 'a');
    } else if (text.compare(i, 2, "\xC4\xB0") == 0) {
      out += "i\xCC\x87";
      i += 1;
    } else if (text.compare(i, 3, "\xE2\x84\xAA") == 0) {
      out += 'k';
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

// str.replace: every non-overlapping `from`, left to right.
void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

bool isPythonSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

}  // namespace

std::vector<std::string> words(const std::string& text) {
  std::string cleaned = lowered(text);
  replaceAll(cleaned, "<s>", " ");
  replaceAll(cleaned, "</s>", " ");
  std::vector<std::string> out;
  for (size_t i = 0; i < cleaned.size();) {
    if (!isWordCharacter(cleaned[i])) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < cleaned.size() && isWordCharacter(cleaned[end])) ++end;
    std::string word = cleaned.substr(i, end - i);
    out.push_back(word == "mr" ? "mister" : word);
    i = end;
  }
  return out;
}

size_t errors(const std::vector<std::string>& reference, const std::vector<std::string>& hypothesis) {
  std::vector<size_t> previous(hypothesis.size() + 1), current(hypothesis.size() + 1);
  for (size_t j = 0; j < previous.size(); ++j) previous[j] = j;
  for (size_t i = 1; i <= reference.size(); ++i) {
    current[0] = i;
    for (size_t j = 1; j <= hypothesis.size(); ++j) {
      const size_t substitution = previous[j - 1] + (reference[i - 1] == hypothesis[j - 1] ? 0 : 1);
      current[j] = std::min({substitution, previous[j] + 1, current[j - 1] + 1});
    }
    std::swap(previous, current);
  }
  return previous.back();
}

double rate(const std::vector<std::string>& reference, const std::string& hypothesis) {
  const auto heard = words(hypothesis);
  if (reference.empty()) return heard.empty() ? 0.0 : 1.0;
  return static_cast<double>(errors(reference, heard)) / static_cast<double>(reference.size());
}

void Tally::add(const std::string& reference, const std::string& hypothesis) {
  const auto said = wer::words(reference);
  errors += wer::errors(said, wer::words(hypothesis));
  words += said.size();
}

std::map<std::string, std::string> transcripts(const std::string& listingPath) {
  std::map<std::string, std::string> out;
  std::ifstream in(listingPath);
  for (std::string line; std::getline(in, line);) {
    // r"(.*)\((\S+)\)\s*$": the line ends, but for white space, in "(name)"
    // where the name has no white space; the last such opening counts.
    size_t close = line.size();
    while (close > 0 && isPythonSpace(line[close - 1])) --close;
    if (close == 0 || line[close - 1] != ')') continue;
    --close;
    for (size_t open = close; open-- > 0 && !isPythonSpace(line[open]);) {
      if (line[open] != '(' || open + 1 == close) continue;
      std::string text = line.substr(0, open);
      for (const std::string tag : {"<s>", "</s>"})
        for (size_t at; (at = text.find(tag)) != std::string::npos;) text.erase(at, tag.size());
      out[line.substr(open + 1, close - open - 1)] = text;
      break;
    }
  }
  return out;
}

std::map<std::string, std::string> librivoxTranscripts() {
  return transcripts(std::string(testing_support::kLibrivoxDir) + "/transcription");
}

}  // namespace wer
