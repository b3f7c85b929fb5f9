#include "native/monotonic_deadline.hpp"

#include <cmath>
#include <limits>

namespace pellucor {
namespace {

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

std::uint64_t durationNanoseconds(double seconds) {
  if (!(seconds > 0)) return 0;  // also NaN
  const double nanoseconds = seconds * 1e9;
  // 2^64 is exactly representable; anything at or above it cannot be held.
  if (!std::isfinite(nanoseconds) || nanoseconds >= 18446744073709551616.0) return kNever;
  return static_cast<std::uint64_t>(nanoseconds);
}

}  // namespace

MonotonicDeadline::MonotonicDeadline(double seconds, Now now) : now_(std::move(now)) {
  const std::uint64_t start = now_();
  const std::uint64_t duration = durationNanoseconds(seconds);
  deadlineNanoseconds_ = duration > kNever - start ? kNever : start + duration;
}

bool MonotonicDeadline::isExpired() const { return now_() >= deadlineNanoseconds_; }

std::uint64_t MonotonicDeadline::remainingNanoseconds() const {
  const std::uint64_t reading = now_();
  return deadlineNanoseconds_ > reading ? deadlineNanoseconds_ - reading : 0;
}

void MonotonicDeadline::check() const {
  if (isExpired()) fail(deadline_errors::kExpired);
}

}  // namespace pellucor
