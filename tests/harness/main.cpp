// zentrova-harness SCENARIO [tool arguments...]
//
// Runs the tool's own start-up over the scripted backend. The scenario's path
// stands where the tool's program name would, so the tool sees exactly the
// arguments that follow it.
#include <cstdio>

#include "app/start.h"
#include "platform/scripted/install.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: zentrova-harness SCENARIO [tool arguments...]\n");
    return 64;
  }
  const auto parsed = platform::scripted::loadScenario(argv[1]);
  if (!parsed.ok()) {
    std::fprintf(stderr, "zentrova-harness: %s: %s\n", argv[1],
                 parsed.error().localizedDescription.c_str());
    return 65;
  }
  platform::scripted::install(parsed.value());
  zentrova::start(argc - 1, argv + 1);
}
