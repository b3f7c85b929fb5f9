#include "approval/system_accessibility_approval_prompt.hpp"

#include <utility>

namespace pellucor {

SystemAccessibilityApprovalPrompt::SystemAccessibilityApprovalPrompt(
    std::shared_ptr<const platform::AccessibilityService> accessibility)
    : accessibility_(std::move(accessibility)) {}

bool SystemAccessibilityApprovalPrompt::requestTrust() { return accessibility_->isProcessTrustedWithPrompt(); }

}  // namespace pellucor
