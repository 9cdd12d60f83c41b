// The scripted backend: a scenario (see scenario.h) played in place of the
// speech and audio services and the wall clock, for tests.
#pragma once

#include "platform/scripted/scenario.h"

namespace platform::scripted {

// Installs the scripted services, the scripted clock and the scenario's time
// scale, and opens its record. Call once, on the thread that will serve the
// main queue, before anything else uses the platform.
void install(const Scenario& scenario);

}  // namespace platform::scripted
