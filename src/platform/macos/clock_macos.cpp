#include "platform/macos/clock_macos.hpp"

#include <time.h>

namespace pellucor::platform::macos {

std::uint64_t MacClock::uptimeNanoseconds() const { return clock_gettime_nsec_np(CLOCK_UPTIME_RAW); }

std::int64_t MacClock::wallNanoseconds() const {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

}  // namespace pellucor::platform::macos
