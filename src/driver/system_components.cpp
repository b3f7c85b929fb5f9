#include "driver/system_components.hpp"

#include <stdexcept>
#include <utility>

#include "approval/permission_approval_control.hpp"
#include "approval/system_accessibility_approval_prompt.hpp"
#include "host/host_signature.hpp"
#include "identity/security_process_identity_validator.hpp"
#include "native/default_providers.hpp"
#include "native/mac_native_operations.hpp"
#include "native/system_accessibility_reader.hpp"
#include "native/system_keyboard_event_poster.hpp"
#include "native/system_screen_window_access.hpp"

namespace pellucor {

SystemComponents::SystemComponents(platform::PlatformServices services) : services_(std::move(services)) {
  const platform::PlatformServices& s = services_;
  if (!s.clock || !s.mainBundle || !s.fileSystem || !s.processTable || !s.codeSigning || !s.workspace ||
      !s.accessibility || !s.screenCapture || !s.keyboard) {
    throw std::invalid_argument("every platform service is required");
  }
}

const platform::Clock& SystemComponents::clock() { return *services_.clock; }

std::unique_ptr<ProcessIdentityValidating> SystemComponents::makeIdentityValidator() {
  return std::make_unique<SecurityProcessIdentityValidator>(services_);
}

std::unique_ptr<NativeOperating> SystemComponents::makeNativeOperations() {
  return std::make_unique<MacNativeOperations>(std::make_shared<SystemAccessibilityReader>(services_.accessibility),
                                               std::make_shared<SystemKeyboardEventPoster>(services_.keyboard),
                                               std::make_shared<SystemScreenWindowAccess>(services_.screenCapture),
                                               makeFrontmostProvider(services_.workspace),
                                               makeHelperBundleIDProvider(services_.mainBundle),
                                               makeHostSignatureCheck(services_.codeSigning));
}

std::unique_ptr<ApprovalControlling> SystemComponents::makeApprovalControl() {
  return std::make_unique<PermissionApprovalControl>(
      std::make_shared<SystemAccessibilityApprovalPrompt>(services_.accessibility),
      std::make_shared<SystemScreenWindowAccess>(services_.screenCapture),
      makeApprovalFrontmostProvider(services_.workspace), makeHostSignatureCheck(services_.codeSigning),
      kApprovalPostPromptDelayNanoseconds);
}

}  // namespace pellucor
