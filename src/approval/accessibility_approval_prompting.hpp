#pragma once

namespace pellucor {

// Asks once for Accessibility trust, letting the platform prompt the user.
class AccessibilityApprovalPrompting {
 public:
  virtual ~AccessibilityApprovalPrompting() = default;
  // Whether the process is trusted at the moment of asking. The platform shows
  // its prompt when it is not; the answer does not wait for the user, so it is
  // advisory only.
  virtual bool requestTrust() = 0;
};

}  // namespace pellucor
