#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/workspace.hpp"

namespace pellucor {

// The application in front of the user, as approval mode sees it.
struct ApprovalTarget {
  std::int32_t pid = 0;
  std::string bundleID;
  std::string localizedName;
};

// All three fields equal; texts by canonical equivalence.
bool operator==(const ApprovalTarget& a, const ApprovalTarget& b);

// Answers the frontmost application at the moment it is called. Never fails.
using ApprovalFrontmostProvider = std::function<std::optional<ApprovalTarget>()>;

// Asks the workspace afresh at every call. Nothing when there is no frontmost
// application, or it lacks a bundle identifier or a localized name.
ApprovalFrontmostProvider makeApprovalFrontmostProvider(std::shared_ptr<const platform::WorkspaceService> workspace);

}  // namespace pellucor
