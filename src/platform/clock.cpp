#include "platform/clock.h"

#include <chrono>

namespace platform {
namespace {

// Seconds between the Unix epoch and 2001-01-01 00:00:00 UTC.
constexpr double kReferenceDateOffset = 978307200.0;

class SystemClock final : public Clock {
 public:
  Date now() override {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(sinceEpoch).count() - kReferenceDateOffset;
  }
};

}  // namespace

Clock& systemClock() {
  static SystemClock* clock = new SystemClock;  // never destroyed: read until _exit
  return *clock;
}

}  // namespace platform
