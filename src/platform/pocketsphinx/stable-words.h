// What live text shows of a hypothesis that is still being searched: the
// words the decoder has settled on, not each guess of the moment.
//
// The decoder's best path is recomputed after every slice of audio (128 ms)
// and, while a word is still being heard, it jumps between guesses: "the
// Mr." becomes "chemistry" and back, "at leisure" becomes "unleash your" and
// back. Shown as they come, a reader sees words change under their eyes.
//
// Local agreement: a word is shown once the last kAgreeing hypotheses all
// hold it, at the same place and after the same words; a word the decoder
// is still changing is therefore held back. A shown word is taken back only
// when the evidence has moved for longer than it took to show it: the last
// kMoving hypotheses all agree on something else in its place. Measured on
// read speech through the live path: fewer agreements let most of the
// flicker through, more add lag without removing more of it.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace platform::pocketsphinx {

using Words = std::vector<std::string>;

class StableWords {
 public:
  static constexpr size_t kAgreeing = 3;
  static constexpr size_t kMoving = 4;

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
