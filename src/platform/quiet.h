#pragma once

namespace platform {

// Points standard error at the null device. The tool promises nothing there,
// yet ALSA, JACK and PocketSphinx print diagnostics on it by themselves.
void silenceStandardError();

}  // namespace platform
