#pragma once

#include <cstdint>

#include "platform/code_signing.hpp"

namespace pellucor::platform::macos {

// The code-signing calls of the Security framework. Flags go to the platform
// exactly as given and its status codes come back unchanged; code objects are
// handles holding the platform's references. A handle that holds no code
// object of the kind a call takes (running code for checkValidity and
// copyStaticCode; static or running code for the static calls, as the
// platform accepts both) answers errSecCSInvalidObjectRef (-67071) without
// calling the platform.
class MacCodeSigning final : public CodeSigningService {
 public:
  // SecCodeCopySelf.
  CodeResult copySelf(std::uint32_t flags) const override;
  // SecCodeCopyGuestWithAttributes(NULL, {kSecGuestAttributePid: pid}).
  CodeResult copyGuestWithPid(std::int32_t pid, std::uint32_t flags) const override;
  // SecCodeCheckValidity(code, flags, NULL).
  std::int32_t checkValidity(const PlatformHandle& code, std::uint32_t flags) const override;
  // SecCodeCopyStaticCode.
  CodeResult copyStaticCode(const PlatformHandle& code, std::uint32_t flags) const override;
  // SecStaticCodeCheckValidity(staticCode, flags, NULL).
  std::int32_t checkStaticValidity(const PlatformHandle& staticCode, std::uint32_t flags) const override;
  // SecCodeCopySigningInformation: the identifier and team identifier
  // converted by platformValue when present, and whether the designated
  // requirement is present. The information is there whenever the call gave
  // a dictionary back.
  SigningInformationResult copySigningInformation(const PlatformHandle& code,
                                                  std::uint32_t flags) const override;
};

}  // namespace pellucor::platform::macos
