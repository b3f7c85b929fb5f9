#include "approval/approval_target.hpp"

#include <utility>

#include "native/default_providers.hpp"
#include "text/text_equality.hpp"

namespace pellucor {

bool operator==(const ApprovalTarget& a, const ApprovalTarget& b) {
  return a.pid == b.pid && text::textEquals(a.bundleID, b.bundleID) &&
         text::textEquals(a.localizedName, b.localizedName);
}

ApprovalFrontmostProvider makeApprovalFrontmostProvider(std::shared_ptr<const platform::WorkspaceService> workspace) {
  // Request mode already reads the frontmost application with exactly these
  // rules; approval mode only wants the answer in its own record.
  return [frontmost = makeFrontmostProvider(std::move(workspace))]() -> std::optional<ApprovalTarget> {
    std::optional<FrontmostIdentity> identity = frontmost();
    if (!identity) return std::nullopt;
    return ApprovalTarget{identity->pid, std::move(identity->bundleID), std::move(identity->localizedName)};
  };
}

}  // namespace pellucor
