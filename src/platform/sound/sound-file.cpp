#include "platform/sound/sound-file.h"

#include <fcntl.h>
#include <poll.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "platform/sound/pipe-input.h"
#include "platform/text.h"

namespace platform::sound {
namespace {

std::string lastPathComponent(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  const size_t slash = trimmed.rfind('/');
  return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

Error openFailure(const std::string& name, int error) {
  const std::string file = "The file \u201c" + name + "\u201d couldn\u2019t be opened";
  if (error == ENOENT || error == ENOTDIR) return {file + " because there is no such file."};
  if (error == EACCES || error == EPERM)
    return {file + " because you don\u2019t have permission to view it."};
  if (error == EISDIR) return {file + " because it is a folder, not an audio file."};
  return {file + ": " + std::generic_category().message(error) + "."};
}

Error formatFailure(const std::string& name, const char* reason) {
  std::string text = reason != nullptr ? reason : "unknown error";
  while (!text.empty() && (text.back() == '.' || text.back() == '\n')) text.pop_back();
  return {"The file \u201c" + name + "\u201d couldn\u2019t be read as audio: " + text + "."};
}

Error readFailure(const std::string& name, int error) {
  return {"The file \u201c" + name +
          "\u201d couldn\u2019t be read: " + std::generic_category().message(error) + "."};
}

// A header may declare any rate and up to a thousand channels, so the
// caller's frame count times the channels can ask for gigabytes; a read
// never holds more than this many samples (4 MB) at once.
constexpr size_t kMostSamplesPerRead = size_t{1} << 20;

// Opens without blocking (a FIFO with no writer would hang open(2)), then
// turns blocking back on so that reads wait for a writer's data as usual.
int openForReading(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return -1;
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

// A host may make a FIFO and start us before its own writer opens it; until
// one does, a read would see the end of an empty stream. An anonymous pipe
// (a host's own, behind /dev/stdin) always had its writer, so only a FIFO
// with a name in a file system waits. Waits for the first bytes, or for a
// writer that came and went (hang-up), bounded so that a FIFO nobody ever
// opens ends with an error instead of a tool that hangs.
constexpr int kWriterWaitMilliseconds = 10'000;
constexpr long kPipeFileSystem = 0x50495045;  // PIPEFS_MAGIC: anonymous pipes

bool writerArrives(int fd, const struct stat& info) {
  if (!S_ISFIFO(info.st_mode)) return true;
  struct statfs fileSystem {};
  if (fstatfs(fd, &fileSystem) == 0 && static_cast<long>(fileSystem.f_type) == kPipeFileSystem)
    return true;
  pollfd waiting{fd, POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&waiting, 1, kWriterWaitMilliseconds);
  } while (ready < 0 && errno == EINTR);
  return ready != 0;
}

}  // namespace

Result<std::unique_ptr<SoundFile>> SoundFile::open(const std::string& path) {
  // Error descriptions must be text: a name's stray bytes become U+FFFD.
  const std::string name = withValidUTF8(lastPathComponent(path));
  const int fd = openForReading(path);
  if (fd < 0) return openFailure(name, errno);
  struct stat info {};
  if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    return openFailure(name, EISDIR);
  }
  if (!writerArrives(fd, info)) {
    ::close(fd);
    return Error{"The file \u201c" + name +
                 "\u201d couldn\u2019t be read: no one is writing to it."};
  }
  if (S_ISREG(info.st_mode) && info.st_size == 0) {
    ::close(fd);
    return formatFailure(name, "the file is empty");
  }
  SF_INFO format{};
  std::unique_ptr<PipeInput> pipe;
  SNDFILE* file = nullptr;
  if (::lseek(fd, 0, SEEK_CUR) < 0 && errno == ESPIPE) {
    pipe = std::make_unique<PipeInput>(fd);
    file = sf_open_virtual(&PipeInput::callbacks(), SFM_READ, &format, pipe.get());
  } else {
    // sf_open_fd closes the descriptor itself when it fails.
    file = sf_open_fd(fd, SFM_READ, &format, SF_TRUE);
  }
  if (file == nullptr) {
    const int readError = pipe ? pipe->readError() : 0;
    return readError != 0 ? readFailure(name, readError)
                          : formatFailure(name, sf_strerror(nullptr));
  }
  if (format.channels < 1 || format.samplerate < 1) {
    sf_close(file);
    return formatFailure(name, "the file declares no channel or no sample rate");
  }
  return std::unique_ptr<SoundFile>(
      new SoundFile(file, std::move(pipe), name, format.samplerate, format.channels));
}

SoundFile::SoundFile(SNDFILE* file, std::unique_ptr<PipeInput> pipe, std::string name, double rate,
                     int channels)
    : file_(file),
      pipe_(std::move(pipe)),
      name_(std::move(name)),
      sampleRate_(rate),
      channels_(channels) {}

SoundFile::~SoundFile() { sf_close(file_); }

Result<> SoundFile::read(size_t frames, std::vector<float>& out) {
  out.clear();
  const auto channels = static_cast<size_t>(channels_);
  frames = std::max<size_t>(1, std::min(frames, kMostSamplesPerRead / channels));
  interleaved_.resize(frames * channels);
  const sf_count_t got =
      sf_readf_float(file_, interleaved_.data(), static_cast<sf_count_t>(frames));
  if (got <= 0) {
    // libsndfile takes a pipe's failed read for its end: ask the pipe first.
    if (pipe_ && pipe_->readError() != 0) return readFailure(name_, pipe_->readError());
    if (sf_error(file_) != SF_ERR_NO_ERROR) return formatFailure(name_, sf_strerror(file_));
    return {};
  }
  out.resize(static_cast<size_t>(got));
  const float scale = 1.0f / static_cast<float>(channels_);
  for (size_t frame = 0; frame < out.size(); ++frame) {
    const float* first = interleaved_.data() + frame * static_cast<size_t>(channels_);
    float sum = 0;
    for (int channel = 0; channel < channels_; ++channel) sum += first[channel];
    out[frame] = channels_ == 1 ? sum : sum * scale;
  }
  return {};
}

}  // namespace platform::sound
