#include "platform/portaudio/alsa-devices.h"

#include <alsa/asoundlib.h>

#include <array>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace platform::portaudio {
namespace {

// Definitions from libasound2-plugins and PulseAudio's ALSA configuration,
// by name; "lavrate" also stands for "lavrate_high" and the like. ALSA's own
// names (default, sysdefault, hw, plug, dmix, dsnoop, front, ...) are never
// touched: the sound cards' configurations refer to them.
constexpr std::array<std::string_view, 11> kCostlyPlugins = {
    "a52",  "jack",       "oss",   "upmix",   "vdownmix",  "speex",
    "usb_stream", "pulse", "lavrate", "samplerate", "speexrate"};

bool isCostlyPlugin(std::string_view name) {
  for (std::string_view plugin : kCostlyPlugins) {
    if (name == plugin) return true;
    if (name.size() > plugin.size() && name.substr(0, plugin.size()) == plugin &&
        name[plugin.size()] == '_')
      return true;
  }
  return false;
}

bool isWordCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The words of `text`: a device is named as "jack", "plug:jack" or
// "pcm.jack", so any word of a string value may be one.
void addWords(std::string_view text, std::set<std::string, std::less<>>& words) {
  size_t begin = 0;
  while (begin < text.size()) {
    while (begin < text.size() && !isWordCharacter(text[begin])) ++begin;
    size_t end = begin;
    while (end < text.size() && isWordCharacter(text[end])) ++end;
    if (end > begin) words.emplace(text.substr(begin, end - begin));
    begin = end;
  }
}

// Subtrees that name no device: a plugin's "type" names a library, a
// "hint" only describes, and hooks name the files and functions that loaded
// the configuration (PulseAudio's names "pulse-alsa.conf").
bool namesNoDevice(const char* id) {
  for (const char* other : {"type", "hint", "@hooks", "hook_func"}) {
    if (std::strcmp(id, other) == 0) return true;
  }
  return false;
}

// Every word of every string in `node`'s tree that could name a device.
void addNamedWords(snd_config_t* node, std::set<std::string, std::less<>>& words) {
  const char* id = nullptr;
  if (snd_config_get_id(node, &id) == 0 && id != nullptr && namesNoDevice(id)) return;
  switch (snd_config_get_type(node)) {
    case SND_CONFIG_TYPE_COMPOUND: {
      snd_config_iterator_t i, next;
      snd_config_for_each(i, next, node) addNamedWords(snd_config_iterator_entry(i), words);
      return;
    }
    case SND_CONFIG_TYPE_STRING: {
      const char* text = nullptr;
      if (snd_config_get_string(node, &text) == 0 && text != nullptr) addWords(text, words);
      return;
    }
    default:
      return;
  }
}

std::string_view idOf(snd_config_t* node) {
  const char* id = nullptr;
  if (snd_config_get_id(node, &id) < 0 || id == nullptr) return {};
  return id;
}

}  // namespace

bool alsaHasDefaultDevice() {
  if (snd_config_update() < 0 || snd_config == nullptr) return false;
  snd_config_t* node = nullptr;
  return snd_config_search(snd_config, "pcm.default", &node) == 0 ||
         snd_config_search(snd_config, "pcm.dmix", &node) == 0;
}

void skipCostlyPlugins(snd_config_t* configuration) {
  snd_config_t* pcms = nullptr;
  if (configuration == nullptr || snd_config_search(configuration, "pcm", &pcms) < 0 ||
      snd_config_get_type(pcms) != SND_CONFIG_TYPE_COMPOUND)
    return;
  // What the rest of the configuration names, whatever section it is in.
  std::set<std::string, std::less<>> named;
  std::vector<snd_config_t*> costly;
  snd_config_iterator_t i, next;
  snd_config_for_each(i, next, configuration) {
    snd_config_t* section = snd_config_iterator_entry(i);
    if (section != pcms) {
      addNamedWords(section, named);
      continue;
    }
    snd_config_iterator_t j, following;
    snd_config_for_each(j, following, pcms) {
      snd_config_t* pcm = snd_config_iterator_entry(j);
      if (isCostlyPlugin(idOf(pcm)))
        costly.push_back(pcm);
      else
        addNamedWords(pcm, named);
    }
  }
  // A costly plugin that something kept names is kept, and so is what it
  // names in turn.
  for (bool keptOne = true; keptOne;) {
    keptOne = false;
    for (auto it = costly.begin(); it != costly.end();) {
      if (named.find(idOf(*it)) == named.end()) {
        ++it;
        continue;
      }
      addNamedWords(*it, named);
      it = costly.erase(it);
      keptOne = true;
    }
  }
  for (snd_config_t* pcm : costly) snd_config_delete(pcm);
}

}  // namespace platform::portaudio
