#pragma once

#include <cstdint>
#include <functional>

#include "wire/pellucor_error.hpp"

namespace pellucor {

// An absolute deadline on the monotonic uptime clock, in nanoseconds. A reading
// equal to the deadline counts as passed. Copies share the same clock function,
// which must be cheap, must not block and must be callable from any thread.
class MonotonicDeadline {
 public:
  using Now = std::function<std::uint64_t()>;

  // Reads the clock once and adds `seconds`. A sum beyond 64 bits saturates at
  // the largest value, which never passes; a duration that is not a finite,
  // positive number counts as zero (the deadline has passed at once).
  MonotonicDeadline(double seconds, Now now);

  std::uint64_t deadlineNanoseconds() const noexcept { return deadlineNanoseconds_; }

  // Each reads the clock once.
  bool isExpired() const;
  std::uint64_t remainingNanoseconds() const;

  // Throws "operation_timeout" when the deadline has passed.
  void check() const;

 private:
  std::uint64_t deadlineNanoseconds_;
  Now now_;
};

namespace deadline_errors {
inline constexpr ErrorDefinition kExpired{"operation_timeout", "operation exceeded its monotonic deadline"};
inline constexpr ErrorDefinition kAsyncExpired{"operation_timeout",
                                         "native async operation exceeded its monotonic deadline"};
}  // namespace deadline_errors

}  // namespace pellucor
