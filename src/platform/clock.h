// The wall clock ("the current date"), which the level meter reads. It is not
// monotonic; a backend may replace it (the scripted backend uses the time
// stamps of its scripted buffers).
#pragma once

namespace platform {

// Seconds since 2001-01-01 00:00:00 UTC, as a double.
using Date = double;

// The start of year 1, so any reading of the clock is far later than it.
constexpr Date kDistantPast = -63114076800.0;

class Clock {
 public:
  virtual ~Clock() = default;
  // The current date; callable from any thread.
  virtual Date now() = 0;
};

// The system's real-time clock.
Clock& systemClock();

}  // namespace platform
