// A pipe, FIFO or terminal read through libsndfile's virtual I/O.
//
// libsndfile reads a file's first bytes to tell its format and then seeks
// back to hand the stream to the format's decoder (FLAC, Ogg, MP3 do this);
// on a descriptor that cannot seek it would lose its place. This input
// remembers the most recent bytes it read, so seeks back within that window
// (and any seek forward) work; a seek further back, or from the end, fails
// as it would on any stream. The window is all it holds: memory stays
// bounded (kWindowBytes, at most twice that while it slides) however long
// the stream.
#pragma once

#include <sndfile.h>

#include <cstddef>
#include <vector>

namespace platform::sound {

class PipeInput {
 public:
  static constexpr size_t kWindowBytes = size_t{1} << 20;

  // Takes `fd`; closes it when destroyed.
  explicit PipeInput(int fd) : fd_(fd) {}
  ~PipeInput();
  PipeInput(const PipeInput&) = delete;
  PipeInput& operator=(const PipeInput&) = delete;

  // The callbacks to hand to sf_open_virtual with this object as user data.
  static SF_VIRTUAL_IO& callbacks();

  // The errno of a failed read, 0 if none failed. Kept rather than returned:
  // libsndfile's callbacks report a byte count only, and take a failed read
  // for the end of the stream, so the sound file asks here after one.
  int readError() const { return readError_; }

 private:
  sf_count_t read(void* into, sf_count_t count);
  sf_count_t seek(sf_count_t offset, int whence);
  // Reads from the descriptor to the end of the window, at most `count`
  // more bytes. False at the end of the stream or on an error.
  bool fill(size_t count);

  int fd_;
  std::vector<unsigned char> window_;  // the bytes from `start_` on
  sf_count_t start_ = 0;               // stream offset of window_[0]
  sf_count_t position_ = 0;            // where the next read starts
  int readError_ = 0;
};

}  // namespace platform::sound
