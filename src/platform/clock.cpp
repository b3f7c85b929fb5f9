#include "platform/clock.hpp"

#include <chrono>

namespace pellucor::platform {

std::uint64_t SystemClock::uptimeNanoseconds() const {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count());
}

std::int64_t SystemClock::wallNanoseconds() const {
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(since).count();
}

}  // namespace pellucor::platform
