#pragma once

#include <memory>

#include "approval/accessibility_approval_prompting.hpp"
#include "platform/accessibility.hpp"

namespace pellucor {

// The platform's trust check with its prompt enabled (the options hold the
// prompt option alone). Stateless; never fails.
class SystemAccessibilityApprovalPrompt final : public AccessibilityApprovalPrompting {
 public:
  explicit SystemAccessibilityApprovalPrompt(std::shared_ptr<const platform::AccessibilityService> accessibility);

  bool requestTrust() override;

 private:
  std::shared_ptr<const platform::AccessibilityService> accessibility_;
};

}  // namespace pellucor
