// Which ALSA definitions are kept from PortAudio's start-up: each test reads
// a configuration of its own from text, never the machine's.
#include "platform/portaudio/alsa-devices.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

struct ConfigDeleter {
  void operator()(snd_config_t* config) const { snd_config_delete(config); }
};
using Config = std::unique_ptr<snd_config_t, ConfigDeleter>;

Config parse(const std::string& text) {
  snd_config_t* top = nullptr;
  snd_input_t* input = nullptr;
  EXPECT_EQ(snd_config_top(&top), 0);
  EXPECT_EQ(snd_input_buffer_open(&input, text.data(), static_cast<ssize_t>(text.size())), 0);
  EXPECT_EQ(snd_config_load(top, input), 0) << text;
  snd_input_close(input);
  return Config(top);
}

bool defines(const Config& config, const std::string& key) {
  snd_config_t* node = nullptr;
  return snd_config_search(config.get(), key.c_str(), &node) == 0;
}

// The shape of Debian's configuration with PulseAudio running: ALSA's own
// names, the plugins of libasound2-plugins and PulseAudio's default device.
const std::string kDebian = R"(
pcm.hw { @args [ CARD DEV ] @args.CARD { type string default 0 } type hw card $CARD }
pcm.plug { @args [ SLAVE ] @args.SLAVE { type string } type plug slave.pcm $SLAVE }
pcm.dmix cards.pcm.dmix
pcm.dsnoop cards.pcm.dsnoop
pcm.front cards.pcm.front
pcm.jack { type jack capture_ports { 0 system:capture_1 } }
pcm.oss { type oss device /dev/dsp }
pcm.a52 { @args [ CARD ] @args.CARD { type string default 0 } type a52 card $CARD }
pcm.upmix { @args [ SLAVE ] @args.SLAVE { type string default "plug:hw" } type upmix slave.pcm $SLAVE }
pcm.speex { type speex slave.pcm "plug:hw" }
pcm.usb_stream { type usb_stream card 0 }
pcm.lavrate_high { type rate converter lavrate slave.pcm "plug:hw" }
pcm.samplerate_best { type rate converter samplerate_best slave.pcm "plug:hw" }
pcm.pulse { type pulse hint.description "PulseAudio Sound Server" }
ctl.pulse { type pulse }
hook_func.pulse_load_if_running { lib "libasound_module_conf_pulse.so" func "conf_pulse_hook_load_if_running" }
@hooks [ { func pulse_load_if_running files [ "/usr/share/alsa/pulse-alsa.conf" ] errors false } ]
)";

TEST(SkipCostlyPlugins, DebiansPluginsGoAndAlsasOwnNamesStay) {
  Config config = parse(kDebian + "pcm.default { type pulse hint.description \"jack\" }\n");
  platform::portaudio::skipCostlyPlugins(config.get());
  for (const char* kept : {"default", "hw", "plug", "dmix", "dsnoop", "front"})
    EXPECT_TRUE(defines(config, std::string("pcm.") + kept)) << kept;
  for (const char* gone : {"jack", "oss", "a52", "upmix", "speex", "usb_stream", "lavrate_high",
                           "samplerate_best", "pulse"})
    EXPECT_FALSE(defines(config, std::string("pcm.") + gone)) << gone;
  EXPECT_TRUE(defines(config, "ctl.pulse"));
}

TEST(SkipCostlyPlugins, KeepsAPluginTheDefaultDeviceGoesThrough) {
  Config config = parse(kDebian + "pcm.default { type plug slave.pcm \"jack\" }\n");
  platform::portaudio::skipCostlyPlugins(config.get());
  EXPECT_TRUE(defines(config, "pcm.jack"));
  EXPECT_FALSE(defines(config, "pcm.a52"));
}

TEST(SkipCostlyPlugins, KeepsWhatAKeptPluginNamesInTurn) {
  Config config = parse(kDebian + R"(
pcm.default "headset"
pcm.headset { type plug slave.pcm "upmix:SLAVE=pulse" }
)");
  platform::portaudio::skipCostlyPlugins(config.get());
  EXPECT_TRUE(defines(config, "pcm.headset"));
  EXPECT_TRUE(defines(config, "pcm.upmix"));
  EXPECT_TRUE(defines(config, "pcm.pulse"));
  EXPECT_FALSE(defines(config, "pcm.jack"));
}

TEST(SkipCostlyPlugins, LeavesNamesThatOnlyBeginLikeAPlugin) {
  Config config = parse("pcm.default \"jackson\"\npcm.jackson { type hw card 0 }\n"
                        "pcm.pulser { type hw card 1 }\npcm.jack { type jack }\n");
  platform::portaudio::skipCostlyPlugins(config.get());
  EXPECT_TRUE(defines(config, "pcm.jackson"));
  EXPECT_TRUE(defines(config, "pcm.pulser"));
  EXPECT_FALSE(defines(config, "pcm.jack"));
}

TEST(SkipCostlyPlugins, AConfigurationWithoutDevicesIsLeftAsItIs) {
  Config config = parse("ctl.mixer { type hw card 0 }\n");
  platform::portaudio::skipCostlyPlugins(config.get());
  EXPECT_TRUE(defines(config, "ctl.mixer"));
  platform::portaudio::skipCostlyPlugins(nullptr);
}

}  // namespace
