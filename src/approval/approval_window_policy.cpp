#include "approval/approval_window_policy.hpp"

#include <cmath>

#include "host/host_identity.hpp"
#include "native/window_enumeration.hpp"
#include "text/text_equality.hpp"

namespace pellucor {
namespace {

bool hasPositiveLength(double side) {
  // Both tests are false for a side that is not a number.
  return std::fabs(side) > 0 && truncatedSideLength(side).has_value();
}

bool isExactHostWindow(const WindowCandidate& candidate, const ApprovalTarget& target) {
  return candidate.pid == target.pid && text::textEquals(candidate.bundleID, target.bundleID) && candidate.onScreen &&
         text::textEquals(candidate.title, target.localizedName) && hasPositiveLength(candidate.frame.width) &&
         hasPositiveLength(candidate.frame.height);
}

}  // namespace

ApprovalTarget ApprovalWindowPolicy::validateFrontmost(const std::optional<ApprovalTarget>& frontmost) {
  if (!frontmost) fail(approval_errors::kTargetInvalid);
  for (const host_identity::HostBuild& build : host_identity::kHostBuilds) {
    if (!text::textEquals(frontmost->bundleID, build.bundleID)) continue;
    if (!text::textEquals(frontmost->localizedName, build.productName)) fail(approval_errors::kTargetInvalid);
    return *frontmost;
  }
  fail(approval_errors::kTargetInvalid);
}

std::shared_ptr<const ScreenWindow> ApprovalWindowPolicy::selectExactWindow(const ScreenWindowList& windows,
                                                                            const ApprovalTarget& target) {
  std::shared_ptr<const ScreenWindow> selected;
  for (const auto& window : windows) {
    if (!window || !isExactHostWindow(window->candidate, target)) continue;
    if (selected) fail(approval_errors::kWindowAmbiguous);
    selected = window;
  }
  if (!selected) fail(approval_errors::kWindowAmbiguous);
  return selected;
}

}  // namespace pellucor
