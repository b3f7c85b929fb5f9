#pragma once

#include <cstdint>
#include <memory>

#include "approval/approval_controlling.hpp"
#include "driver/pellucor_main.hpp"
#include "identity/process_identity_validating.hpp"
#include "native/native_operating.hpp"
#include "platform/platform_services.hpp"

namespace pellucor {

// The system objects of one run, composed over one set of platform services:
// the same composition serves every real entry, whichever platform answers
// the services.
//
// Request mode gets a SecurityProcessIdentityValidator and MacNativeOperations
// over the system accessibility reader, keyboard poster and window access with
// the default frontmost and own-bundle-identifier providers and the host
// signature check over the code signing; approval mode gets a
// PermissionApprovalControl over the system trust prompt and window access
// with the default frontmost provider, the same signature check and a
// half-second pause after the prompt. Every object shares the services it uses, so it may outlive this
// composition.
class SystemComponents final : public PellucorComponents {
 public:
  // The pause after the Accessibility prompt, before the frontmost
  // application is read.
  static constexpr std::uint64_t kApprovalPostPromptDelayNanoseconds = 500000000;

  // Throws std::invalid_argument when one of the services is missing, so that
  // a broken composition fails at once rather than in the middle of a run.
  explicit SystemComponents(platform::PlatformServices services);

  const platform::Clock& clock() override;
  std::unique_ptr<ProcessIdentityValidating> makeIdentityValidator() override;
  std::unique_ptr<NativeOperating> makeNativeOperations() override;
  std::unique_ptr<ApprovalControlling> makeApprovalControl() override;

 private:
  platform::PlatformServices services_;
};

}  // namespace pellucor
