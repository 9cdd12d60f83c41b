#include "platform/pocketsphinx/stable-words.h"

#include <algorithm>

namespace platform::pocketsphinx {
namespace {

size_t commonPrefix(const Words& first, const Words& second) {
  const auto [end, unused] =
      std::mismatch(first.begin(), first.end(), second.begin(), second.end());
  return static_cast<size_t>(end - first.begin());
}

}  // namespace

size_t StableWords::agreed(const Words& hypothesis, size_t count) const {
  if (recent_.size() < count) return 0;
  size_t length = hypothesis.size();
  for (auto earlier = recent_.end() - static_cast<std::ptrdiff_t>(count); earlier != recent_.end();
       ++earlier)
    length = std::min(length, commonPrefix(hypothesis, *earlier));
  return length;
}

const Words& StableWords::update(const Words& hypothesis) {
  recent_.push_back(hypothesis);
  if (recent_.size() > kMoving) recent_.pop_front();
  // Only a followed word is ever shown, however long it has held.
  const size_t followed = hypothesis.empty() ? 0 : hypothesis.size() - 1;
  const size_t settled = std::min(agreed(hypothesis, kAgreeing), followed);
  const size_t kept = commonPrefix(hypothesis, shown_);
  if (kept == shown_.size()) {
    // Agreement only ever adds words: it never takes back shown ones.
    if (settled > shown_.size())
      shown_.assign(hypothesis.begin(), hypothesis.begin() + static_cast<std::ptrdiff_t>(settled));
    return shown_;
  }
  // The decoder contradicts a shown word: replace it only once the evidence
  // has held still for longer than showing it took.
  const size_t moved = std::min(agreed(hypothesis, kMoving), followed);
  if (moved > kept)
    shown_.assign(hypothesis.begin(), hypothesis.begin() + static_cast<std::ptrdiff_t>(moved));
  return shown_;
}

void StableWords::reset() {
  recent_.clear();
  shown_.clear();
}

}  // namespace platform::pocketsphinx
