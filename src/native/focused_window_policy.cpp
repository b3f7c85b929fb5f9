#include "native/focused_window_policy.hpp"

#include <cmath>
#include <optional>

#include "text/text_equality.hpp"

namespace pellucor {
namespace {

// A difference that is not a number (either side NaN, or both sides the same
// infinity) compares false here, so such a component never matches.
bool withinTolerance(double candidate, double focused) {
  return std::fabs(candidate - focused) <= FocusedWindowPolicy::kFrameTolerance;
}

bool showsFocusedWindow(const WindowCandidate& candidate, const AXReadSnapshot& snapshot, const Target& target) {
  const platform::Rect& frame = candidate.frame;
  const platform::Rect& focused = snapshot.focusedFrame;
  return candidate.onScreen && candidate.pid == target.pid && text::textEquals(candidate.bundleID, target.bundleID) &&
         text::textEquals(candidate.title, snapshot.focusedTitle) && withinTolerance(frame.x, focused.x) &&
         withinTolerance(frame.y, focused.y) && withinTolerance(frame.width, focused.width) &&
         withinTolerance(frame.height, focused.height);
}

}  // namespace

std::size_t FocusedWindowPolicy::unique(const std::vector<WindowCandidate>& candidates,
                                        const AXReadSnapshot& snapshot, const Target& target,
                                        bool enforceRequestedWindowID) {
  std::optional<std::size_t> match;
  for (std::size_t index = 0; index < candidates.size(); ++index) {
    if (!showsFocusedWindow(candidates[index], snapshot, target)) continue;
    // A second match settles the outcome; the remaining candidates cannot
    // change it.
    if (match) fail(window_match_errors::kAmbiguous);
    match = index;
  }
  if (!match) fail(window_match_errors::kNotFound);
  if (enforceRequestedWindowID && target.windowID && *target.windowID != candidates[*match].windowID) {
    fail(window_match_errors::kIDMismatch);
  }
  return *match;
}

}  // namespace pellucor
