#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "native/monotonic_deadline.hpp"
#include "native/native_operating.hpp"
#include "native/screen_window_access.hpp"
#include "native/target_validation_records.hpp"
#include "wire/pellucor_error.hpp"
#include "wire/records.hpp"

namespace pellucor {

// The most same-application windows a target may have on screen before the
// focused window is no longer looked for among them.
inline constexpr std::size_t kMaximumCandidateWindows = 32;

// The on-screen windows of the target's own process and bundle identifier, in
// the platform's order. The listing runs under `deadline` as a bounded wait,
// so it fails with either timeout of a bounded wait, or with the platform's
// own failure unchanged; more than kMaximumCandidateWindows such windows fail
// with "too_many_windows".
ScreenWindowList candidateWindows(const std::shared_ptr<ScreenWindowAccessing>& screenWindows, const Target& target,
                                  const MonotonicDeadline& deadline);

// Window number to sharing state, from the platform's older window list, for
// the windows of the target's process. Entries whose owner, number or sharing
// state is missing, not a number, or outside the range of its kind (a process
// identifier is signed 32-bit, a window number unsigned 32-bit, a sharing
// state signed 64-bit; fractions are truncated toward zero) are skipped; a
// later entry for the same window replaces an earlier one. Never fails: a list
// that cannot be had, or is not a list of dictionaries, gives an empty map.
std::map<std::uint32_t, std::int64_t> legacyMetadataByWindowID(ScreenWindowAccessing& screenWindows,
                                                               const Target& target);

// The length of a frame side as the platform's rectangle helpers give it (that
// of the standardised rectangle, never negative), truncated toward zero.
// Nothing when the side is not finite or its length does not fit in a signed
// 64-bit integer.
std::optional<std::int64_t> truncatedSideLength(double side) noexcept;

// The verified focused window of the target as a one-element window list:
// validates the target with `validate`, takes the target's candidate windows,
// matches the focused window among them (the requested window identifier
// enforced) and describes it as {"window_id", "title", "width", "height",
// "on_screen", "legacy_sharing_state"}; the observation is the validation's,
// with the matched window's identifier.
//
// Fails with whatever `validate`, candidateWindows or the match raise, with
// the escaping errors of the title, with "invalid_frame_size" when a side of
// the matched frame has no integer length, and with "operation_timeout" when
// the deadline has passed once the result is complete.
NativeExecution enumerateFocusedWindow(const std::function<ValidatedTarget()>& validate,
                                       const std::shared_ptr<ScreenWindowAccessing>& screenWindows,
                                       const Target& target, const MonotonicDeadline& deadline);

namespace window_errors {
inline constexpr ErrorDefinition kTooManyWindows{"too_many_windows", "more than 32 same-app candidate windows"};
inline constexpr ErrorDefinition kInvalidFrameSize{"invalid_frame_size", "target frame dimensions are outside bounds"};
}  // namespace window_errors

}  // namespace pellucor
