#pragma once

#include <atomic>
#include <cstdint>

#include "platform/clock.hpp"

namespace pellucor::testing {

// A clock that moves only when a test moves it: by hand, or by a fixed step
// after every reading, so that code which reads the clock in a loop sees time
// pass. Readings and settings may come from different threads.
class FakeClock final : public platform::Clock {
 public:
  std::uint64_t uptimeNanoseconds() const override { return uptime_.fetch_add(uptimeStep_.load()); }
  std::int64_t wallNanoseconds() const override { return wall_.fetch_add(wallStep_.load()); }

  void setUptime(std::uint64_t nanoseconds) { uptime_.store(nanoseconds); }
  void advanceUptime(std::uint64_t nanoseconds) { uptime_.fetch_add(nanoseconds); }
  void setUptimeStep(std::uint64_t nanoseconds) { uptimeStep_.store(nanoseconds); }

  void setWall(std::int64_t nanoseconds) { wall_.store(nanoseconds); }
  void advanceWall(std::int64_t nanoseconds) { wall_.fetch_add(nanoseconds); }
  void setWallStep(std::int64_t nanoseconds) { wallStep_.store(nanoseconds); }

 private:
  mutable std::atomic<std::uint64_t> uptime_{1'000'000'000};
  mutable std::atomic<std::int64_t> wall_{1'700'000'000'000'000'000};
  std::atomic<std::uint64_t> uptimeStep_{0};
  std::atomic<std::int64_t> wallStep_{0};
};

}  // namespace pellucor::testing
