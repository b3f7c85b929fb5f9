#pragma once

#include <cstdint>
#include <optional>

#include "platform/platform_value.hpp"

namespace pellucor::platform {

// Flags of the code-signing calls, with the platform's values.
namespace code_signing_flags {
inline constexpr std::uint32_t kDefault = 0;
inline constexpr std::uint32_t kCheckAllArchitectures = 1;  // static validity only
inline constexpr std::uint32_t kSigningInformation = 2;
// Static validity only: leaves out the hashing of the bundle's sealed
// resources; the executable and its signature are still checked. Its value 4
// is also kRequirementInformation's, which belongs to another call (signing
// information), so the two never meet in one flags word.
inline constexpr std::uint32_t kDoNotValidateResources = 4;
inline constexpr std::uint32_t kRequirementInformation = 4;  // signing information only
inline constexpr std::uint32_t kStrictValidate = 16;
}  // namespace code_signing_flags

// Status codes the callers may meet.
namespace code_signing_status {
inline constexpr std::int32_t kSuccess = 0;
inline constexpr std::int32_t kInvalidFlags = -67070;  // errSecCSInvalidFlags
}  // namespace code_signing_status

// A code object (running or static) with the status of the call that made it.
struct CodeResult {
  std::int32_t status = code_signing_status::kSuccess;
  PlatformHandle code;  // null when the call gave no object
};

// The entries of a signing-information dictionary that the system reads.
struct SigningInformation {
  std::optional<PlatformValue> identifier;      // kSecCodeInfoIdentifier
  std::optional<PlatformValue> teamIdentifier;  // kSecCodeInfoTeamIdentifier
  bool hasDesignatedRequirement = false;        // kSecCodeInfoDesignatedRequirement present
};

struct SigningInformationResult {
  std::int32_t status = code_signing_status::kSuccess;
  std::optional<SigningInformation> information;  // nothing when no dictionary came back
};

// The code-signing services, one member per platform call.
class CodeSigningService {
 public:
  virtual ~CodeSigningService() = default;
  // SecCodeCopySelf.
  virtual CodeResult copySelf(std::uint32_t flags) const = 0;
  // SecCodeCopyGuestWithAttributes with no host and the single attribute pid.
  virtual CodeResult copyGuestWithPid(std::int32_t pid, std::uint32_t flags) const = 0;
  // SecCodeCheckValidity on running code, without a requirement. The platform
  // accepts only validation flags here: kCheckAllArchitectures is refused
  // with kInvalidFlags.
  virtual std::int32_t checkValidity(const PlatformHandle& code, std::uint32_t flags) const = 0;
  // SecCodeCopyStaticCode.
  virtual CodeResult copyStaticCode(const PlatformHandle& code, std::uint32_t flags) const = 0;
  // SecStaticCodeCheckValidity on static code, without a requirement. Takes
  // the validation flags, kCheckAllArchitectures and kDoNotValidateResources.
  virtual std::int32_t checkStaticValidity(const PlatformHandle& staticCode, std::uint32_t flags) const = 0;
  // SecCodeCopySigningInformation on static code, or on running code, for
  // which the platform reads the signature of its static code on disk as
  // copyStaticCode would find it (no validation either way). The designated
  // requirement is present only when asked for with kRequirementInformation.
  virtual SigningInformationResult copySigningInformation(const PlatformHandle& code,
                                                          std::uint32_t flags) const = 0;
};

}  // namespace pellucor::platform
