#pragma once

#include <functional>
#include <vector>

#include "native/keyboard_event_posting.hpp"
#include "native/monotonic_deadline.hpp"
#include "native/native_operating.hpp"
#include "native/target_validation_records.hpp"
#include "wire/enumerations.hpp"
#include "wire/pellucor_error.hpp"

namespace pellucor {

// One physical key press for the verified target: both events are created
// first, the target is validated (`validate`), the key-down is posted, the
// target is validated again while the key is down, and the key-up is posted.
// The result is {"posted": true} with the first validation's observation.
//
// What a caller may rely on: the key-down is posted at most once, and once it
// may have been posted exactly one key-up is attempted before this returns,
// whatever the second validation throws (any type) and whatever the poster
// answers. A poster that throws counts as one that answered false.
//
// Fails, with nothing posted, with makePair's own error, with
// "event_creation_failed" when the poster hands back no pair at all, with the
// first validation's error unchanged, and with
// "input_timeout_before_post" when the deadline has passed after it. After
// the key-down it fails with "input_down_ambiguous" or "input_cleanup_failed"
// when a half was not reported as posted, and with "input_partial_timeout" or
// "input_partial_target_changed" when the second validation failed or ended
// after the deadline; the cause of the second failure is not reported.
NativeExecution pressKey(KeyboardEventPosting& keyboard, PhysicalKey key, const std::vector<KeyModifier>& modifiers,
                         const std::function<ValidatedTarget()>& validate, const MonotonicDeadline& deadline);

namespace key_press_errors {
inline constexpr ErrorDefinition kTimeoutBeforePost{"input_timeout_before_post",
                                              "operation exceeded its monotonic deadline"};
inline constexpr ErrorDefinition kDownAmbiguous{"input_down_ambiguous",
                                          "key-down reporting failed; one cleanup release was forced"};
inline constexpr ErrorDefinition kAmbiguousCleanupFailed{"input_cleanup_failed",
                                                   "ambiguous key-down and mandatory key-up cleanup both failed"};
inline constexpr ErrorDefinition kPartialTimeout{"input_partial_timeout",
                                           "target changed or timed out after key-down; cleanup release was forced"};
inline constexpr ErrorDefinition kPartialTargetChanged{
    "input_partial_target_changed", "target changed or timed out after key-down; cleanup release was forced"};
inline constexpr ErrorDefinition kPartialRevalidationFailed{
    "input_partial_target_changed", "target revalidation failed after key-down; cleanup release was forced"};
inline constexpr ErrorDefinition kCleanupFailed{"input_cleanup_failed",
                                          "key-down was posted and the single mandatory key-up cleanup attempt failed"};
}  // namespace key_press_errors

}  // namespace pellucor
