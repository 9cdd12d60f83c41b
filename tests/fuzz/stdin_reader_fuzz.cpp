// Any bytes on standard input: the streaming reader must see exactly the stop
// lines that decoding, splitting and trimming the whole input would find.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "live/stop.h"
#include "reference_text.h"

namespace {

std::vector<zentrova::LineRead> expectedReads(std::string_view bytes) {
  std::vector<zentrova::LineRead> reads;
  while (!bytes.empty()) {
    size_t feed = bytes.find('\n');
    std::string_view line = bytes.substr(0, feed);
    bytes = feed == std::string_view::npos ? std::string_view() : bytes.substr(feed + 1);
    if (feed != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::u32string text = fuzzing::decodeLossy(line);
    size_t begin = 0, end = text.size();
    while (begin < end && fuzzing::isSpaceSeparatorOrTab(text[begin])) ++begin;
    while (end > begin && fuzzing::isSpaceSeparatorOrTab(text[end - 1])) --end;
    reads.push_back(text.substr(begin, end - begin) == U"stop" ? zentrova::LineRead::stop
                                                               : zentrova::LineRead::other);
  }
  return reads;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty buffer
  std::string input(reinterpret_cast<const char*>(data), size);
  std::FILE* stream = fmemopen(input.data(), input.size(), "r");
  std::vector<zentrova::LineRead> reads;
  for (zentrova::LineRead r; (r = zentrova::readCommandLine(stream)) != zentrova::LineRead::end;)
    reads.push_back(r);
  std::fclose(stream);
  if (reads != expectedReads(input)) std::abort();
  return 0;
}
