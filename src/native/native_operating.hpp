#pragma once

#include <vector>

#include "native/monotonic_deadline.hpp"
#include "wire/records.hpp"

namespace pellucor {

// What a successful native operation returns: the target as verified, and the
// operation's result tree.
struct NativeExecution {
  TargetObservation observation;
  JSONValue result;
};

// The native operations the executor reaches. Each takes the request's target
// exactly as decoded and the request's deadline, must respect that deadline,
// and throws a PellucorError for every condition it reports; anything else it
// throws is reported as a failed native operation.
class NativeOperating {
 public:
  virtual ~NativeOperating() = default;
  virtual NativeExecution observeAX(const Target& target, const MonotonicDeadline& deadline) = 0;
  virtual NativeExecution enumerateWindows(const Target& target, const MonotonicDeadline& deadline) = 0;
  virtual NativeExecution captureWindow(const Target& target, const MonotonicDeadline& deadline) = 0;
  virtual NativeExecution postKey(PhysicalKey key, const std::vector<KeyModifier>& modifiers,
                                  const Target& target, const MonotonicDeadline& deadline) = 0;
};

}  // namespace pellucor
