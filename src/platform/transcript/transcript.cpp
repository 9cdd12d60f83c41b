#include "platform/transcript/transcript.h"

#include <initializer_list>
#include <optional>
#include <sstream>

namespace platform::transcript {
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

bool isOneOf(const std::string& word, std::initializer_list<const char*> set) {
  for (const char* member : set) {
    if (word == member) return true;
  }
  return false;
}

// The decoder's dictionary spells these with and without the dot.
const char* titleOf(std::string lower) {
  if (!lower.empty() && lower.back() == '.') lower.pop_back();
  static const struct { const char* spoken; const char* written; } kTitles[] = {
      {"mr", "Mr."}, {"mrs", "Mrs."}, {"ms", "Ms."}, {"dr", "Dr."},
      {"st", "St."}, {"jr", "Jr."},   {"sr", "Sr."}, {"messrs", "Messrs."},
  };
  for (const auto& title : kTitles) {
    if (lower == title.spoken) return title.written;
  }
  return nullptr;
}

// "Had" is left out: "Had he known, he would have come" opens a statement
// as often as a question.
bool isAuxiliary(const std::string& word) {
  return isOneOf(word, {"am", "is", "are", "was", "were", "do", "does", "did", "have", "has",
                        "can", "could", "will", "would", "shall", "should", "may", "might", "must",
                        "isn't", "aren't", "wasn't", "weren't", "don't", "doesn't", "didn't",
                        "haven't", "hasn't", "hadn't", "can't", "couldn't", "won't", "wouldn't",
                        "shouldn't"});
}

// Words that open a subject: "did you", "is the", "are there".
bool opensSubject(const std::string& word) {
  return isOneOf(word, {"i", "you", "he", "she", "it", "we", "they", "there", "the", "a", "an",
                        "this", "that", "these", "those", "my", "your", "his", "her", "its", "our",
                        "their", "any", "anyone", "anybody", "anything", "someone", "somebody",
                        "something", "everyone", "everybody", "everything", "all", "some", "no"});
}

// Whether a segment opens the way an English question does. `written`
// holds the same words as formatted: a capital marks a name.
// - "who", "whose", "whom", "why": a question ("Who called").
// - "what", "where", "when", "which", "how": a question when an auxiliary
//   verb comes at once or after up to two words that do not open a subject
//   ("Where is", "What time is it", "How many people are"), or with "about"
//   ("How about Monday"). A subject right after makes a clause: "When he
//   came we left", "When the train is late".
// - An auxiliary verb followed by a subject: a pronoun, a determiner,
//   "there", or a capitalised name ("Did you", "Is the", "Can Mary"). Its
//   name-and-common twin stays a statement: "Will Smith called".
bool asksQuestion(const std::vector<std::string>& spoken, const std::vector<std::string>& written) {
  std::vector<std::string> lower;
  for (size_t i = 0; i < spoken.size() && i < 4; ++i) lower.push_back(asciiLower(spoken[i]));
  const std::string& first = lower[0];
  if (isOneOf(first, {"who", "whose", "whom", "why"})) return true;
  if (isOneOf(first, {"what", "where", "when", "which", "how"})) {
    if (lower.size() > 1 && lower[1] == "about") return true;
    for (size_t i = 1; i < lower.size() && i <= 3; ++i) {
      if (isAuxiliary(lower[i])) return true;
      if (opensSubject(lower[i])) return false;
    }
    return false;
  }
  if (!isAuxiliary(first) || lower.size() < 2) return false;
  const char next = written[1][0];
  return opensSubject(lower[1]) || (next >= 'A' && next <= 'Z');
}

std::string capitaliseFirst(std::string word) {
  if (!word.empty() && word[0] >= 'a' && word[0] <= 'z') word[0] = static_cast<char>(word[0] - 'a' + 'A');
  return word;
}

}  // namespace

Transcript::Transcript(const FormatOptions& options, std::shared_ptr<const WordCase> wordCase)
    : punctuate_(options.addsPunctuation),
      writesEnglish_(options.addsPunctuation && options.english),
      wordCase_(writesEnglish_ ? std::move(wordCase) : nullptr) {
  for (const std::string& string : options.contextualStrings) {
    if (isSingleWord(string)) casing_.emplace(asciiLower(string), string);
  }
}

void Transcript::setHypothesis(const std::string& hypothesis) {
  current_ = format(hypothesis, false);
}

void Transcript::commit(const std::string& text) {
  current_ = {};
  Segment segment = format(text, true);
  if (segment.text.empty()) return;
  committed_ = this->text(segment);
  last_ = std::move(segment);
}

std::string Transcript::text() const {
  const std::string text = this->text(current_);
  return current_.text.empty() ? text + last_.endMark : text;
}

// The committed text and `next` joined. A dictated mark or line feed that
// opens `next` takes the place of the automatic end mark before it.
std::string Transcript::text(const Segment& next) const {
  if (next.text.empty()) return committed_;
  if (committed_.empty()) return next.text;
  if (next.opensWithMark || next.opensWithBreak) return committed_ + next.text;
  if (last_.endsWithBreak) return committed_ + next.text;
  return committed_ + last_.endMark + ' ' + next.text;
}

std::vector<Piece> Transcript::pieces(const std::string& segment) const {
  std::istringstream stream(segment);
  std::vector<std::string> spoken;
  std::string word;
  while (stream >> word) {
    if (isFiller(word)) continue;
    // A recognizer may hear a phrase as one word, its parts joined by "_".
    std::istringstream parts(word);
    for (std::string part; std::getline(parts, part, '_');) {
      if (!part.empty()) spoken.push_back(writesEnglish_ ? asciiLower(part) : part);
    }
  }
  if (writesEnglish_) return writtenForm(spoken);
  std::vector<Piece> plain;
  for (std::string& each : spoken) plain.push_back({Piece::Kind::kWord, std::move(each)});
  return plain;
}

Transcript::Segment Transcript::format(const std::string& text, bool finished) const {
  Segment segment;
  const std::vector<Piece> pieces = this->pieces(text);
  if (pieces.empty()) return segment;
  segment.text = caseSentences(pieces, segment);
  const Piece::Kind last = pieces.back().kind;
  const bool dictatedEnd = last == Piece::Kind::kMark || last == Piece::Kind::kBreak;
  if (!punctuate_ || !finished || segment.text.empty() || dictatedEnd) {
    segment.endMark.clear();
    return segment;
  }
  if (segment.endMark.empty() && segment.text.back() != '.') segment.endMark = ".";
  return segment;
}

// Cases the words, attaches the marks and capitalises each sentence's first
// word; sets what `segment` records of its ends, and "?" as its end mark when
// its last sentence asks (for format to keep or drop).
std::string Transcript::caseSentences(const std::vector<Piece>& pieces, Segment& segment) const {
  using Kind = Piece::Kind;
  const bool afterText = !committed_.empty();
  bool capital = punctuate_ && !(afterText && last_.leavesSentenceOpen);
  std::vector<std::string> spoken, written;  // of the last sentence
  std::string out;
  std::optional<Kind> previous;
  int nameWords = 0;
  for (const Piece& piece : pieces) {
    if (piece.kind == Kind::kMark || piece.kind == Kind::kBreak) {
      nameWords = 0;
      if (!previous && !afterText) continue;  // nothing to attach to
      if (previous == Kind::kBreak && piece.kind == Kind::kMark) continue;
      if (previous == Kind::kMark && piece.kind == Kind::kMark) out.pop_back();
      if (previous == Kind::kBreak) {
        while (!out.empty() && out.back() == '\n') out.pop_back();
      }
      if (!previous)
        (piece.kind == Kind::kMark ? segment.opensWithMark : segment.opensWithBreak) = true;
      out += piece.text;
      previous = piece.kind;
      const char mark = piece.text[0];
      const bool endsSentence = mark == '.' || mark == '?' || mark == '!' || mark == '\n';
      capital = punctuate_ && endsSentence;
      if (endsSentence) {
        spoken.clear();
        written.clear();
      }
      continue;
    }
    std::string word = piece.kind == Kind::kWord ? caseWord(piece.text, nameWords) : piece.text;
    if (piece.kind != Kind::kWord) nameWords = 0;
    if (capital) word = capitaliseFirst(std::move(word));
    capital = false;
    spoken.push_back(piece.text);
    written.push_back(word);
    if (!out.empty() && previous != Kind::kBreak) out += ' ';
    out += word;
    previous = piece.kind;
  }
  segment.endsWithBreak = previous == Kind::kBreak;
  segment.leavesSentenceOpen =
      previous == Kind::kMark && out.back() != '.' && out.back() != '?' && out.back() != '!';
  if (writesEnglish_ && !spoken.empty() && asksQuestion(spoken, written)) segment.endMark = "?";
  return out;
}

// `nameWords`: how many more words after a title may still be its name;
// 3 right after the title, counting down along the name.
std::string Transcript::caseWord(const std::string& spoken, int& nameWords) const {
  const int afterTitle = nameWords;
  nameWords = 0;
  const std::string word = asciiLower(spoken);
  const auto given = casing_.find(word);
  if (given != casing_.end()) return given->second;
  if (!writesEnglish_) return spoken;
  if (isEnglishPronounI(word)) return "I" + word.substr(1);
  if (const char* title = titleOf(word)) {
    nameWords = 3;
    return title;
  }
  using Kind = WordCase::Kind;
  const Kind kind = this->kind(word);
  const bool firstOfName = afterTitle == 3 && kind != Kind::kCommon;
  const bool restOfName = wordCase_ && afterTitle > 0 && (kind == Kind::kUnknown || kind == Kind::kProper);
  if (firstOfName || restOfName) {
    nameWords = afterTitle - 1;
    return wordCase_ && kind != Kind::kUnknown ? wordCase_->capitalised(word) : capitaliseFirst(word);
  }
  return kind == Kind::kProper ? wordCase_->capitalised(word) : word;
}

WordCase::Kind Transcript::kind(const std::string& lower) const {
  return wordCase_ ? wordCase_->kind(lower) : WordCase::Kind::kUnknown;
}

}  // namespace platform::transcript
