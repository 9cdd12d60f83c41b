// Which reports of the audio stack count as the system refusing the
// microphone, against a missing, busy or broken device, which must not.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/portaudio/access.h"

namespace {

TEST(AccessRefusal, TellsARefusalFromOtherFailures) {
  struct Case {
    int error;
    const char* message;
    bool refusal;
  };
  const Case cases[] = {
      // ALSA's pulse plugin on a server that rejects the client's cookie.
      {0, "PulseAudio: Unable to connect: Access denied\n", true},
      // A device node the user may not open, as errno or as ALSA's negative code.
      {EACCES, "open '/dev/snd/pcmC0D0c' failed", true},
      {-EACCES, "", true},
      {EPERM, "", true},
      {0, "cannot open /dev/snd/controlC0: Permission denied", true},
      // Missing, busy or broken: the engine's start reports these.
      {0, "PulseAudio: Unable to connect: Connection refused\n", false},
      {0, "PulseAudio: Unable to connect: Timeout\n", false},
      {0, "cannot find card '0'", false},
      {0, "Unknown PCM default", false},
      {-EBUSY, "Device or resource busy", false},
      {-ENOENT, "No such file or directory", false},
      {-EIO, "Input/output error", false},
      {0, "", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::portaudio::isAccessRefusal(c.error, c.message), c.refusal)
        << c.error << " " << c.message;
  }
}

}  // namespace
