#include "platform/sound/pipe-input.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace platform::sound {
namespace {

constexpr size_t kChunkBytes = 64 * 1024;

}  // namespace

PipeInput::~PipeInput() { ::close(fd_); }

SF_VIRTUAL_IO& PipeInput::callbacks() {
  static SF_VIRTUAL_IO io = {
      // A stream's length is unknown until its end: as long as it may be.
      [](void*) -> sf_count_t { return std::numeric_limits<sf_count_t>::max(); },
      [](sf_count_t offset, int whence, void* self) {
        return static_cast<PipeInput*>(self)->seek(offset, whence);
      },
      [](void* into, sf_count_t count, void* self) {
        return static_cast<PipeInput*>(self)->read(into, count);
      },
      [](const void*, sf_count_t, void*) -> sf_count_t { return 0; },  // opened for reading only
      [](void* self) { return static_cast<PipeInput*>(self)->position_; },
  };
  return io;
}

bool PipeInput::fill(size_t count) {
  const size_t had = window_.size();
  window_.resize(had + count);
  ssize_t got;
  do {
    got = ::read(fd_, window_.data() + had, count);
  } while (got < 0 && errno == EINTR);
  if (got < 0) readError_ = errno;
  window_.resize(had + static_cast<size_t>(std::max<ssize_t>(got, 0)));
  // Slide the window once it is twice its size, so the copy is amortised.
  if (window_.size() >= 2 * kWindowBytes) {
    const auto keepFrom = static_cast<sf_count_t>(window_.size() - kWindowBytes);
    const sf_count_t drop = std::min(keepFrom, position_ - start_);
    window_.erase(window_.begin(), window_.begin() + drop);
    start_ += drop;
  }
  return got > 0;
}

sf_count_t PipeInput::read(void* into, sf_count_t count) {
  auto* out = static_cast<unsigned char*>(into);
  sf_count_t done = 0;
  while (done < count) {
    const sf_count_t end = start_ + static_cast<sf_count_t>(window_.size());
    if (position_ >= end && !fill(kChunkBytes)) break;
    const sf_count_t available = start_ + static_cast<sf_count_t>(window_.size()) - position_;
    const sf_count_t take = std::min(available, count - done);
    std::memcpy(out + done, window_.data() + (position_ - start_), static_cast<size_t>(take));
    position_ += take;
    done += take;
  }
  return done;
}

sf_count_t PipeInput::seek(sf_count_t offset, int whence) {
  sf_count_t target = offset;
  if (whence == SEEK_CUR) target = position_ + offset;
  else if (whence != SEEK_SET) return -1;  // the end is not known
  if (target < start_) return -1;          // fell out of the window
  // Forward: read up to the target, as a stream can.
  while (target > start_ + static_cast<sf_count_t>(window_.size())) {
    position_ = start_ + static_cast<sf_count_t>(window_.size());
    if (!fill(kChunkBytes)) break;
  }
  position_ = std::min(target, start_ + static_cast<sf_count_t>(window_.size()));
  return position_;
}

}  // namespace platform::sound
