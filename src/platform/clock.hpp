#pragma once

#include <cstdint>

namespace pellucor::platform {

// The two clocks of the platform. Both must be cheap, never block and be
// callable from any thread.
class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic uptime in nanoseconds; never goes backwards.
  virtual std::uint64_t uptimeNanoseconds() const = 0;
  // Calendar time in nanoseconds since the Unix epoch; may jump either way.
  virtual std::int64_t wallNanoseconds() const = 0;
};

// The process's own clocks (std::chrono's steady and system clocks).
class SystemClock final : public Clock {
 public:
  std::uint64_t uptimeNanoseconds() const override;
  std::int64_t wallNanoseconds() const override;
};

}  // namespace pellucor::platform
