// Which ALSA definitions are kept from PortAudio's start-up: each test reads
// a configuration of its own from text, never the machine's.
#include "platform/portaudio/alsa-devices.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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

// A configuration, and the definitions that must survive the trim or go.
struct TrimCase {
  const char* name;
  std::string configuration;
  std::vector<std::string> kept;
  std::vector<std::string> gone;
};
void PrintTo(const TrimCase& c, std::ostream* out) { *out << c.name; }

class SkipCostlyPlugins : public ::testing::TestWithParam<TrimCase> {};

TEST_P(SkipCostlyPlugins, KeepsWhatIsInUseAndDropsTheRest) {
  const TrimCase& c = GetParam();
  Config config = parse(c.configuration);
  platform::portaudio::skipCostlyPlugins(config.get());
  for (const std::string& key : c.kept) EXPECT_TRUE(defines(config, key)) << key << " went";
  for (const std::string& key : c.gone) EXPECT_FALSE(defines(config, key)) << key << " stayed";
}

INSTANTIATE_TEST_SUITE_P(
    Configurations, SkipCostlyPlugins,
    ::testing::Values(
        TrimCase{"debians_plugins_go_and_alsas_own_names_stay",
                 kDebian + "pcm.default { type pulse hint.description \"jack\" }\n",
                 {"pcm.default", "pcm.hw", "pcm.plug", "pcm.dmix", "pcm.dsnoop", "pcm.front", "ctl.pulse"},
                 {"pcm.jack", "pcm.oss", "pcm.a52", "pcm.upmix", "pcm.speex", "pcm.usb_stream",
                  "pcm.lavrate_high", "pcm.samplerate_best", "pcm.pulse"}},
        TrimCase{"keeps_a_plugin_the_default_device_goes_through",
                 kDebian + "pcm.default { type plug slave.pcm \"jack\" }\n", {"pcm.jack"}, {"pcm.a52"}},
        TrimCase{"keeps_what_a_kept_plugin_names_in_turn",
                 kDebian + "pcm.default \"headset\"\n"
                           "pcm.headset { type plug slave.pcm \"upmix:SLAVE=pulse\" }\n",
                 {"pcm.headset", "pcm.upmix", "pcm.pulse"}, {"pcm.jack"}},
        TrimCase{"leaves_names_that_only_begin_like_a_plugin",
                 "pcm.default \"jackson\"\npcm.jackson { type hw card 0 }\n"
                 "pcm.pulser { type hw card 1 }\npcm.jack { type jack }\n",
                 {"pcm.jackson", "pcm.pulser"}, {"pcm.jack"}},
        TrimCase{"a_configuration_without_devices_is_left_as_it_is", "ctl.mixer { type hw card 0 }\n",
                 {"ctl.mixer"}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SkipCostlyPluginsWithoutConfiguration, DoesNothing) {
  platform::portaudio::skipCostlyPlugins(nullptr);
}

}  // namespace
