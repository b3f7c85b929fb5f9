#pragma once

#include <cstdint>

namespace pellucor {

// What the approval run reports: the Accessibility trust answer at the moment
// of asking (advisory only), and the window that was captured.
struct PermissionApprovalResult {
  bool accessibilityTrusted = false;
  std::uint32_t windowID = 0;
};

// The set-up run of approval mode.
class ApprovalControlling {
 public:
  virtual ~ApprovalControlling() = default;
  // Throws a PellucorError for every refusal it detects; any other error is a
  // failure of the platform.
  virtual PermissionApprovalResult run() = 0;
};

}  // namespace pellucor
