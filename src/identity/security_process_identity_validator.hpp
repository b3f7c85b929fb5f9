#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/host_signature.hpp"
#include "identity/identity_policy.hpp"
#include "identity/process_identity_validating.hpp"
#include "platform/code_signing.hpp"
#include "platform/file_system.hpp"
#include "platform/main_bundle.hpp"
#include "platform/platform_services.hpp"
#include "platform/process_table.hpp"
#include "wire/pellucor_error.hpp"

namespace pellucor {

namespace identity_errors {
inline constexpr ErrorDefinition kInvalidSelfBundle{"invalid_self_bundle", "helper is not running from its fixed app bundle"};
inline constexpr ErrorDefinition kInvalidSelfPath{"invalid_self_path", "helper is not at the fixed nested channel path"};
inline constexpr ErrorDefinition kSymlinkPath{"symlink_path", "helper path contains a symbolic link"};
inline constexpr ErrorDefinition kInvalidSignature{"invalid_signature",
                                             "helper or ancestor signature does not satisfy the channel identity"};
inline constexpr ErrorDefinition kAncestorNotFound{"invalid_ancestry", "exact Zorvane ancestor not found"};
inline constexpr ErrorDefinition kUninspectableAncestor{"invalid_ancestry", "unable to inspect spawning process"};
inline constexpr ErrorDefinition kProductionParentNotAppOwned{"invalid_ancestry", "production parent is not app-owned"};
inline constexpr ErrorDefinition kDevelopmentParentOutsideChain{
    "invalid_ancestry", "development parent is outside the fixed host/repository chain"};
}  // namespace identity_errors

// Proves, before the helper does anything for anybody, that it is the genuine
// helper (at its fixed place inside the genuine host bundle, with an intact
// signature) and that it was started by the genuine host application, with
// nothing between them that the host does not own. Portable code over the
// main-bundle, file-system, process-table and code-signing services.
//
// It keeps no state: every call reads bundle information, signatures and the
// process tree afresh, and releases the code objects it obtained before it
// returns. Safe to call from one thread at a time per instance.
class SecurityProcessIdentityValidator final : public ProcessIdentityValidating {
 public:
  // Flags of the code-signing calls. The running code is checked with strict
  // validation only, because the platform refuses any flag but validation
  // flags there; the architecture check belongs to the static code. Target
  // validation checks the frontmost host's running code the same way. The
  // static code is checked strictly for every architecture of its executable
  // but without hashing the bundle's sealed resources: who signed the running
  // code does not depend on them, and hashing a large bundle (a browser
  // engine's, say) on every request would eat much of a request's budget.
  // The designated requirement is only reported when requirement information
  // is asked for.
  static constexpr std::uint32_t kCopyFlags = platform::code_signing_flags::kDefault;
  static constexpr std::uint32_t kRunningValidityFlags = host_signature::kRunningValidityFlags;
  static constexpr std::uint32_t kStaticValidityFlags = platform::code_signing_flags::kCheckAllArchitectures |
                                                        platform::code_signing_flags::kStrictValidate |
                                                        platform::code_signing_flags::kDoNotValidateResources;
  static constexpr std::uint32_t kSigningInformationFlags =
      platform::code_signing_flags::kSigningInformation | platform::code_signing_flags::kRequirementInformation;

  // The counter of the ancestor walk: it is decremented before each process is
  // inspected and the walk fails when it reaches zero, so at most 16
  // ancestors are inspected.
  static constexpr int kAncestorBudget = 17;

  static constexpr std::string_view kDisplayNameKey = "CFBundleDisplayName";

  // Uses the main bundle, file system, process table and code signing of
  // `services`. Throws std::invalid_argument when one of them is missing.
  explicit SecurityProcessIdentityValidator(const platform::PlatformServices& services);

  // Returns exactly when the helper and its ancestry are accepted. Every
  // refusal is a PellucorError of identity_errors, naming the first rule
  // that was broken, with one exception: when asking whether a directory on
  // the way to the helper bundle is a symbolic link fails, the platform's
  // own platform::PlatformError passes through unchanged.
  void validateSelfAndAncestry() override;

 private:
  // What the helper learnt about itself and must hold its ancestors to.
  struct SelfIdentity {
    IdentityChannel channel;
    std::string hostBundleID;
    std::string bundlePath;
    std::string teamID;
  };

  // One ancestor process.
  struct ProcessRecord {
    std::string path;                     // as the kernel reports it, decoded leniently
    std::optional<std::string> bundleID;  // of the bundle three levels above the executable
    std::int32_t parentPID = 0;
    platform::PlatformHandle code;  // the process's running code
  };

  SelfIdentity validateSelf() const;
  void walkAncestors(const SelfIdentity& self) const;
  // Nothing when any part of the record cannot be obtained.
  std::optional<ProcessRecord> processInfo(std::int32_t pid) const;
  // The team identifier of a validly signed `code`; fails with
  // "invalid_signature" otherwise, or when `expectedIdentifier` is given and
  // the signing identifier is not equal to it.
  std::string validate(const platform::PlatformHandle& code,
                       std::optional<std::string_view> expectedIdentifier) const;
  void rejectSymlinkComponents(std::string_view path) const;

  std::shared_ptr<const platform::MainBundleService> mainBundle_;
  std::shared_ptr<const platform::FileSystemService> fileSystem_;
  std::shared_ptr<const platform::ProcessTableService> processTable_;
  std::shared_ptr<const platform::CodeSigningService> codeSigning_;
};

}  // namespace pellucor
