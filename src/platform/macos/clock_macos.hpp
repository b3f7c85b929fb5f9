#pragma once

#include <cstdint>

#include "platform/clock.hpp"

namespace pellucor::platform::macos {

// The uptime clock that dispatch's deadlines use (it stops while the machine
// sleeps) and the calendar clock.
class MacClock final : public Clock {
 public:
  // clock_gettime_nsec_np(CLOCK_UPTIME_RAW).
  std::uint64_t uptimeNanoseconds() const override;
  // clock_gettime(CLOCK_REALTIME), in nanoseconds since the Unix epoch.
  std::int64_t wallNanoseconds() const override;
};

}  // namespace pellucor::platform::macos
