#include "platform/pocketsphinx/heard-words.h"

#include <pocketsphinx.h>
#include <sphinxbase/ckd_alloc.h>

#include <string>

namespace platform::pocketsphinx {
namespace {

// Silence, sentence marks and noises: "<sil>", "<s>", "[NOISE]", "++UH++".
bool isFiller(const std::string& word) {
  return word.empty() || word.front() == '<' || word.front() == '[' || word.rfind("++", 0) == 0;
}

// "our(2)" is the dictionary's second pronunciation of "our".
std::string spelling(const std::string& entry) {
  const size_t variant = entry.find('(');
  return variant == std::string::npos || variant == 0 ? entry : entry.substr(0, variant);
}

// The phones of the dictionary entry the decoder chose; 0 when it has none
// to tell (then nothing is judged by duration).
int phoneCount(ps_decoder_t* decoder, const std::string& entry) {
  char* phones = ps_lookup_word(decoder, entry.c_str());
  if (phones == nullptr) return 0;
  int count = 0;
  bool inPhone = false;
  for (const char* at = phones; *at != '\0'; ++at) {
    const bool blank = *at == ' ';
    if (!blank && !inPhone) ++count;
    inPhone = !blank;
  }
  ckd_free(phones);
  return count;
}

// Frames per phone, on average over the word; 0 when the dictionary cannot
// tell how many phones it has.
double framesPerPhone(ps_decoder_t* decoder, ps_seg_t* segment, const std::string& entry) {
  int first = 0, last = 0;
  ps_seg_frames(segment, &first, &last);
  const int phones = phoneCount(decoder, entry);
  return phones > 0 ? static_cast<double>(last - first + 1) / phones : 0;
}

}  // namespace

Words heardWords(ps_decoder_t* decoder) {
  Words words;
  double loneLength = 0;  // frames per phone of the first word kept
  for (ps_seg_t* segment = ps_seg_iter(decoder); segment != nullptr;
       segment = ps_seg_next(segment)) {
    const char* word = ps_seg_word(segment);
    const std::string entry = word != nullptr ? word : "";
    if (isFiller(entry)) continue;
    const double length = framesPerPhone(decoder, segment, entry);
    if (length > kMostFramesPerPhone) continue;
    if (words.empty()) loneLength = length;
    words.push_back(spelling(entry));
  }
  if (words.size() == 1 && loneLength > kMostFramesPerPhoneAlone) words.clear();
  return words;
}

}  // namespace platform::pocketsphinx
