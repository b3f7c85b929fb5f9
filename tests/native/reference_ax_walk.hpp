#pragma once

#include "native/monotonic_deadline.hpp"
#include "platform/accessibility.hpp"
#include "wire/json_value.hpp"

namespace pellucor::testing {

// The tree walk written the plain way, as an oracle for the reader's own: the
// element being built is encoded again in full after every member, action
// name and child, and that figure is compared with the budget. Slow on
// purpose; it fails with the same errors at the same moments as encodeAX is
// meant to.
JSONValue referenceEncodeAX(const platform::AccessibilityService& service, const platform::PlatformHandle& window,
                            const MonotonicDeadline& deadline);

}  // namespace pellucor::testing
