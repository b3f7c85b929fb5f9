#pragma once

#include <cstddef>
#include <vector>

#include "native/accessibility_reading.hpp"
#include "native/screen_window_access.hpp"
#include "wire/pellucor_error.hpp"
#include "wire/records.hpp"

namespace pellucor {

// Joins the accessibility view of a focused window to exactly one capturable
// window.
struct FocusedWindowPolicy {
  FocusedWindowPolicy() = delete;

  // Largest difference, per frame component, between a candidate's frame and
  // the accessibility frame that still counts as the same window.
  static constexpr double kFrameTolerance = 1.0;

  // The index in `candidates` of the one candidate that is on screen, belongs to the target's process and
  // bundle identifier, carries the focused title (canonical equivalence; an
  // untitled window matches only an empty focused title) and whose frame
  // components each lie within kFrameTolerance of the focused frame's, as
  // stored (a difference that is not a number never matches).
  //
  // Fails with "focused_window_not_found" when no candidate qualifies,
  // "focused_window_ambiguous" when several do (whatever window the target
  // names), and, only when `enforceRequestedWindowID` is set and the target
  // names a window, "focused_window_id_mismatch" when the single match is
  // another window. Returning the position, not a copy, lets a caller take
  // the very object the candidate was read from.
  static std::size_t unique(const std::vector<WindowCandidate>& candidates, const AXReadSnapshot& snapshot,
                                const Target& target, bool enforceRequestedWindowID);
};

namespace window_match_errors {
inline constexpr ErrorDefinition kNotFound{
    "focused_window_not_found",
    "focused Plugin application AX window does not uniquely match one ScreenCaptureKit window"};
inline constexpr ErrorDefinition kAmbiguous{
    "focused_window_ambiguous",
    "focused Plugin application AX window does not uniquely match one ScreenCaptureKit window"};
inline constexpr ErrorDefinition kIDMismatch{
    "focused_window_id_mismatch", "requested window_id differs from the verified focused Plugin application window"};
}  // namespace window_match_errors

}  // namespace pellucor
