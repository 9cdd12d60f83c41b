// What live text shows of a hypothesis that is still being searched: the
// words the decoder has settled on, not each guess of the moment.
//
// The decoder's best path is recomputed after every slice of audio (64 ms
// live, recognition.h) and, while a word is still being heard, it jumps
// between guesses: "the Mr." becomes "chemistry" and back, "at leisure"
// becomes "unleash your" and back. Shown as they come, a reader sees words
// change under their eyes.
//
// Local agreement: a word is shown once the last kAgreeing hypotheses all
// hold it, at the same place and after the same words, and the newest one
// has a word after it. The word a hypothesis ends in is the one the decoder
// is least sure of, and a lone word is what steady noise makes of itself
// (heard-words.h): it waits for a word to follow, however long it has held,
// and then shows at once if it held long enough. A shown word is taken back
// only when the evidence has moved for longer than it took to show it: the
// last kMoving hypotheses all agree on something else in its place.
//
// Measured on read speech replayed through the live loop (bench/replay.py):
// 6 agreeing hypotheses 64 ms apart rewrite about as few shown words as 4
// agreeing 128 ms apart, at a tenth of a second less lag; the shorter the
// span they cover, the more flicker gets through, the longer, the more lag.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace platform::pocketsphinx {

using Words = std::vector<std::string>;

class StableWords {
 public:
  static constexpr size_t kAgreeing = 6;
  static constexpr size_t kMoving = 8;

  // `hypothesis`: the decoder's words now, for the segment in progress.
  // Returns the words to show for it.
  const Words& update(const Words& hypothesis);
  // A new segment starts: nothing is shown of it and nothing is remembered.
  void reset();

 private:
  // The longest prefix of `hypothesis` that the last `count` hypotheses
  // share; empty while fewer than `count` have been seen.
  size_t agreed(const Words& hypothesis, size_t count) const;

  std::deque<Words> recent_;  // the last kMoving hypotheses, newest last
  Words shown_;
};

}  // namespace platform::pocketsphinx
