// The text of one recognition: the segments the decoder has finished plus
// the hypothesis of the one in progress, formatted the way the request asks.
// A hypothesis goes through the same formatting as the finished segment it
// becomes, so the text does not change its form when the segment ends.
//
// Formatting, applied per segment:
// - Contextual strings: a decoded word equal to a contextual string up to
//   ASCII case takes the string's casing ("claude" becomes "Claude"). The
//   decoder only produces words of its pronunciation dictionary, which holds
//   lowercase entries, so strings it does not know are skipped by nature.
// - Punctuation on: the segment starts with a capital letter and a finished
//   segment ends with a full stop. Nothing else is punctuated.
// - Punctuation on and an English model: the written form of English.
//   - Numbers, amounts, percentages, times, dates and years as a person
//     writes them ("$340", "12%", "at 3:30", "March 5", "in 2025"), and the
//     marks the user dictates ("comma" ",", "new paragraph" an empty line),
//     by the tables of written-form.h. A dictated mark attaches to the word
//     before and takes the place of the automatic end mark (never "?."),
//     also when it opens the next segment; after a dictated ".", "?", "!" or
//     line feed the next word has a capital, after ",", ":" or ";" the next
//     segment none.
//   - The pronoun "I" and its contractions are capitalised; titles are
//     abbreviated ("mr" and "mr." become "Mr.", likewise "Mrs.", "Ms.",
//     "Dr.", "St.", "Jr.", "Sr.", "Messrs."); names, days, months and
//     nationalities take the capitals of the word list (word-case.h). After
//     a title the name that follows is capitalised even where the list
//     cannot tell: its first word unless the list knows it only in lower
//     case ("Mr. John"), further words the list does not know or knows only
//     capitalised ("Mr. John Dashwood", but "Dr. Smith will").
//   - A finished segment whose last sentence opens as a question ends with
//     "?" (asksQuestion in transcript.cpp); a full stop is not added after
//     an abbreviation.
//   Without the word list (null): sentence case, "I", titles and the one
//   word after them, question marks and the written form.
// Decoder fillers (<s>, </s>, <sil>, [NOISE], ...) never reach the text.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/transcript/word-case.h"
#include "platform/transcript/written-form.h"

namespace platform::transcript {

struct FormatOptions {
  bool addsPunctuation = false;
  bool english = false;  // the model's language is English
  std::vector<std::string> contextualStrings;
};

class Transcript {
 public:
  // `wordCase`: the capitals of English words; null when there is no list.
  explicit Transcript(const FormatOptions& options, std::shared_ptr<const WordCase> wordCase = nullptr);

  // `hypothesis`: the decoder's text for the segment in progress.
  void setHypothesis(const std::string& hypothesis);
  // Ends the segment in progress with its final `text` (may be empty).
  void commit(const std::string& text);
  // Committed segments and the current hypothesis, joined by spaces.
  std::string text() const;

 private:
  // A segment as written, without the automatic end mark that a finished
  // one gets (kept apart: a dictated mark opening the next segment takes
  // its place).
  struct Segment {
    std::string text;
    std::string endMark;          // "." or "?", finished segments only
    bool opensWithMark = false;   // attaches to the text before
    bool opensWithBreak = false;  // a line feed: no space before
    bool endsWithBreak = false;
    bool leavesSentenceOpen = false;  // ends with a dictated "," ":" or ";"
  };
  Segment format(const std::string& segment, bool finished) const;
  std::string text(const Segment& next) const;
  std::vector<Piece> pieces(const std::string& segment) const;
  std::string caseSentences(const std::vector<Piece>& pieces, Segment& segment) const;
  std::string caseWord(const std::string& word, int& nameWords) const;
  WordCase::Kind kind(const std::string& lower) const;

  bool punctuate_;
  bool writesEnglish_;  // punctuation on and an English model
  std::shared_ptr<const WordCase> wordCase_;
  std::unordered_map<std::string, std::string> casing_;  // lowercase -> as given
  std::string committed_;  // without its last segment's automatic end mark
  Segment last_;           // the last committed segment, for what follows it
  Segment current_;        // the hypothesis, formatted
};

}  // namespace platform::transcript
