// Streaming reads of an audio file through libsndfile (WAV, FLAC,
// Ogg/Vorbis, Opus, MP3 and the rest it knows), one block at a time so that
// memory stays bounded however long the file is. Pipes and FIFOs (such as
// /dev/stdin fed by another program) are read through pipe-input.h, so every
// format works from them too.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/error.h"

struct sf_private_tag;

namespace platform::sound {

class PipeInput;

class SoundFile {
 public:
  // Opens `path` for reading, and refuses folders. A named FIFO gets about
  // 10 s for its writer to come (a host may start us first); without one
  // the open fails rather than hangs. The error describes the failure in
  // one sentence that names the file.
  static Result<std::unique_ptr<SoundFile>> open(const std::string& path);
  ~SoundFile();
  SoundFile(const SoundFile&) = delete;
  SoundFile& operator=(const SoundFile&) = delete;

  double sampleRate() const { return sampleRate_; }

  // Reads up to `frames` frames (fewer where many channels would make the
  // block large) and mixes them down to one channel (the mean
  // of all channels, so speech on either side of a stereo file is kept) into
  // `out`, which is empty at the end of the file. An error (naming the file)
  // leaves `out` empty as well.
  Result<> read(size_t frames, std::vector<float>& out);

 private:
  SoundFile(sf_private_tag* file, std::unique_ptr<PipeInput> pipe, std::string name, double rate,
            int channels);

  sf_private_tag* file_;
  std::unique_ptr<PipeInput> pipe_;  // null for a file that can seek
  std::string name_;  // the file's last path component, for messages
  double sampleRate_;
  int channels_;
  std::vector<float> interleaved_;
};

}  // namespace platform::sound
