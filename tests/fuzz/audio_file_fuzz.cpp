// Any bytes as an audio file: opening and decoding it to the recognizer's
// samples ends in samples or a readable error, never a crash.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/sound/audio-source.h"
#include "platform/sound/sound-file.h"

namespace {

// Bounds the work per input: a header may declare a length the bytes do not
// hold, and the fuzzer wants many short runs, not one long one.
constexpr size_t maxSamples = 16000 * 60;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("audio", 0);
  if (fd < 0) return 0;
  if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  auto file = platform::sound::SoundFile::open(path);
  if (!file.ok()) {
    if (file.error().localizedDescription.empty()) std::abort();
    close(fd);
    return 0;
  }
  platform::sound::FileSource source(std::move(*file));
  std::vector<int16_t> samples;
  size_t total = 0;
  platform::Result<> read;
  while (total < maxSamples && (read = source.next(samples)).ok() && !samples.empty())
    total += samples.size();
  if (!read.ok() && read.error().localizedDescription.empty()) std::abort();
  close(fd);
  return 0;
}
