#include "platform/pocketsphinx/file-recognition.h"

#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch.h"
#include "platform/sound/pause-cutter.h"

namespace platform::pocketsphinx {
namespace {

// A report waits until the text is this many times as long as the last one.
constexpr double kReportGrowth = 1.2;
// The block a segment's decoding takes per call, as a file's would be.
constexpr size_t kBlockSamples = 2048;

// The processors this process may run on (its affinity, not the machine's).
size_t usableCores() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return std::max(1u, std::thread::hardware_concurrency());
}

class SegmentSource final : public sound::AudioSource {
 public:
  explicit SegmentSource(const std::vector<int16_t>& samples) : samples_(samples) {}
  Result<> next(std::vector<int16_t>& out) override {
    const size_t count = std::min(kBlockSamples, samples_.size() - at_);
    out.assign(samples_.begin() + static_cast<std::ptrdiff_t>(at_),
               samples_.begin() + static_cast<std::ptrdiff_t>(at_ + count));
    at_ += count;
    return {};
  }

 private:
  const std::vector<int16_t>& samples_;
  size_t at_ = 0;
};

struct Decoded {
  std::string text;
  Result<> outcome;
};

std::string joined(const std::string& first, const std::string& second) {
  if (first.empty()) return second;
  if (second.empty()) return first;
  return first + ' ' + second;
}

// The queue between the reader and the decoder workers, and the in-order
// committer of their texts. Everything below `mutex_` is guarded by it.
class FileJob {
 public:
  FileJob(const DecoderSupply& supply, const transcript::FormatOptions& format,
          std::shared_ptr<const transcript::WordCase> wordCase, const PartialText& progress)
      : supply_(supply),
        format_(format),
        wordCase_(std::move(wordCase)),
        progress_(progress),
        mostWorkers_(decoderCount(usableCores())) {}

  // Reader: queues the next segment once there is room. False once the job
  // has failed and further audio would be wasted.
  bool submit(std::vector<int16_t> segment);
  // Reader: no segment follows; returns once every worker has ended.
  void finish();
  // After finish(): the committed text, and the job's own error if it
  // failed.
  Result<> outcome(std::string& text) const;

 private:
  void work();
  Decoded decode(ps_decoder_s* decoder, size_t index, const std::vector<int16_t>& samples);
  void hypothesis(size_t index, const std::string& text);
  void commitLocked(size_t index, Decoded decoded);
  void reportLocked();

  const DecoderSupply& supply_;
  const transcript::FormatOptions& format_;
  const std::shared_ptr<const transcript::WordCase> wordCase_;
  const PartialText& progress_;
  const size_t mostWorkers_;
  std::vector<std::thread> workers_;  // the reader's own

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::pair<size_t, std::vector<int16_t>>> waiting_;
  size_t submitted_ = 0;
  size_t free_ = 0;      // workers loading or waiting for a segment
  size_t running_ = 0;   // workers not yet ended
  bool loadFailed_ = false;
  bool ended_ = false;   // no segment follows
  bool failed_ = false;  // stop everything
  std::map<size_t, Decoded> done_;  // decoded, waiting for earlier segments
  size_t next_ = 0;                 // the earliest segment not committed
  std::string committed_, head_;
  size_t reported_ = 0;
  Result<> outcome_;  // the first failure, once there is one
};

bool FileJob::submit(std::vector<int16_t> segment) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return failed_ || waiting_.size() < mostWorkers_; });
  if (failed_) return false;
  waiting_.emplace_back(submitted_++, std::move(segment));
  // A further decoder costs about a second of loading and 100 MB: it pays
  // only when more than one segment waits for it, not for the last few
  // seconds of a short file that the busy decoder will reach soon.
  const bool worthAnother = workers_.empty() || waiting_.size() > free_ + 1;
  if (worthAnother && workers_.size() < mostWorkers_ && !loadFailed_) {
    ++free_;
    ++running_;
    workers_.emplace_back([this, number = workers_.size() + 1] {
      nameThisThread(("decode-" + std::to_string(number)).c_str());
      work();
    });
  }
  changed_.notify_all();
  return true;
}

void FileJob::finish() {
  {
    std::lock_guard lock(mutex_);
    ended_ = true;
  }
  changed_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

Result<> FileJob::outcome(std::string& text) const {
  text = committed_;
  return outcome_;
}

void FileJob::work() {
  Result<Decoder> decoder = supply_();  // outlives the lock below: freed unlocked
  std::unique_lock lock(mutex_);
  if (!decoder.ok()) {
    loadFailed_ = true;
    --free_;
    // The others carry on; with none left, nothing would ever decode.
    if (--running_ == 0 && !failed_) {
      outcome_ = decoder.error();
      failed_ = true;
    }
    changed_.notify_all();
    return;
  }
  for (;;) {
    changed_.wait(lock, [&] { return failed_ || ended_ || !waiting_.empty(); });
    if (failed_ || waiting_.empty()) break;
    auto [index, samples] = std::move(waiting_.front());
    waiting_.pop_front();
    --free_;
    changed_.notify_all();
    lock.unlock();
    Decoded decoded = decode(decoder->get(), index, samples);
    lock.lock();
    ++free_;
    commitLocked(index, std::move(decoded));
  }
  --free_;
  --running_;
}

Decoded FileJob::decode(ps_decoder_s* decoder, size_t index, const std::vector<int16_t>& samples) {
  SegmentSource source(samples);
  transcript::Transcript transcript(format_, wordCase_);
  PartialText partial;
  if (progress_) partial = [this, index](const std::string& text) { hypothesis(index, text); };
  Result<> recognized = recognize(decoder, source, transcript, partial, kFileSliceSamples);
  return {transcript.text(), std::move(recognized)};
}

void FileJob::hypothesis(size_t index, const std::string& text) {
  std::lock_guard lock(mutex_);
  if (index != next_ || failed_) return;
  head_ = text;
  reportLocked();
}

void FileJob::commitLocked(size_t index, Decoded decoded) {
  done_.emplace(index, std::move(decoded));
  for (auto first = done_.begin(); first != done_.end() && first->first == next_;
       first = done_.erase(first)) {
    if (!first->second.outcome.ok()) {
      // Later segments cannot be joined across the gap: what came before stays.
      outcome_ = first->second.outcome;
      failed_ = true;
      changed_.notify_all();
      return;
    }
    committed_ = joined(committed_, first->second.text);
    head_.clear();
    ++next_;
  }
  reportLocked();
}

void FileJob::reportLocked() {
  if (!progress_) return;
  const std::string text = joined(committed_, head_);
  if (text.empty() || static_cast<double>(text.size()) < static_cast<double>(reported_) * kReportGrowth)
    return;
  reported_ = text.size();
  progress_(text);
}

}  // namespace

size_t decoderCount(size_t cores) { return std::clamp<size_t>(cores, 1, kMostDecoders); }

Result<> recognizeFile(const DecoderSupply& supply, sound::AudioSource& source,
                       const transcript::FormatOptions& format, std::shared_ptr<const transcript::WordCase> wordCase,
                       const PartialText& progress, std::string& text) {
  FileJob job(supply, format, std::move(wordCase), progress);
  sound::PauseCutter cutter;
  std::vector<int16_t> block;
  bool wanted = true;
  Result<> read;
  while (wanted) {
    read = source.next(block);
    if (!read.ok() || block.empty()) break;
    cutter.append(block);
    for (auto segment = cutter.take(); wanted && segment; segment = cutter.take())
      wanted = job.submit(std::move(*segment));
  }
  if (wanted) {
    if (auto rest = cutter.finish()) job.submit(std::move(*rest));
  }
  job.finish();
  if (Result<> decoded = job.outcome(text); !decoded.ok()) return decoded;
  return read;
}

}  // namespace platform::pocketsphinx
