#include "support/fake_code_signing.hpp"

namespace pellucor::testing {
namespace {

using platform::code_signing_flags::kCheckAllArchitectures;
using platform::code_signing_flags::kRequirementInformation;
using platform::code_signing_flags::kSigningInformation;
using platform::code_signing_status::kInvalidFlags;
using platform::code_signing_status::kSuccess;

// Any status other than success; the callers only tell success from failure.
constexpr std::int32_t kFailure = -67062;  // errSecCSUnsigned

struct FakeCode final : platform::PlatformObject {
  FakeCode(std::string codeName, bool staticCode) : name(std::move(codeName)), isStatic(staticCode) {}
  std::string name;
  bool isStatic;
};

}  // namespace

void FakeCodeSigningService::addSignedCode(const std::string& name, const std::string& identifier,
                                           const std::string& team) {
  FakeSignature signature;
  signature.identifier = platform::PlatformValue::makeText(identifier);
  signature.teamIdentifier = platform::PlatformValue::makeText(team);
  addCode(name, std::move(signature));
}

bool FakeCodeSigningService::anyCodeStillHeld() const {
  for (const auto& handle : handedOut_) {
    if (!handle.expired()) return true;
  }
  return false;
}

platform::CodeResult FakeCodeSigningService::handOut(const std::string& name, bool isStatic) const {
  platform::PlatformHandle code = std::make_shared<const FakeCode>(name, isStatic);
  handedOut_.push_back(code);
  return {kSuccess, std::move(code)};
}

const FakeSignature* FakeCodeSigningService::signatureOf(const platform::PlatformHandle& code,
                                                         bool wantStatic) const {
  const auto* fake = dynamic_cast<const FakeCode*>(code.get());
  if (fake == nullptr || fake->isStatic != wantStatic) return nullptr;
  const auto found = signatures_.find(fake->name);
  return found == signatures_.end() ? nullptr : &found->second;
}

std::string FakeCodeSigningService::nameOf(const platform::PlatformHandle& code) const {
  const auto* fake = dynamic_cast<const FakeCode*>(code.get());
  return fake == nullptr ? "?" : fake->name;
}

platform::CodeResult FakeCodeSigningService::copySelf(std::uint32_t flags) const {
  calls_.push_back({"copySelf", "", flags});
  if (!self_) return {kFailure, nullptr};
  return handOut(*self_, false);
}

platform::CodeResult FakeCodeSigningService::copyGuestWithPid(std::int32_t pid, std::uint32_t flags) const {
  const auto found = guests_.find(pid);
  calls_.push_back({"copyGuestWithPid", found == guests_.end() ? "" : found->second, flags});
  if (found == guests_.end()) return {kFailure, nullptr};
  return handOut(found->second, false);
}

std::int32_t FakeCodeSigningService::checkValidity(const platform::PlatformHandle& code, std::uint32_t flags) const {
  calls_.push_back({"checkValidity", nameOf(code), flags});
  if ((flags & kCheckAllArchitectures) != 0) return kInvalidFlags;
  const FakeSignature* signature = signatureOf(code, false);
  return signature != nullptr && signature->valid ? kSuccess : kFailure;
}

platform::CodeResult FakeCodeSigningService::copyStaticCode(const platform::PlatformHandle& code,
                                                            std::uint32_t flags) const {
  calls_.push_back({"copyStaticCode", nameOf(code), flags});
  const FakeSignature* signature = signatureOf(code, false);
  if (signature == nullptr || !signature->staticCodeAvailable) return {kFailure, nullptr};
  return handOut(nameOf(code), true);
}

std::int32_t FakeCodeSigningService::checkStaticValidity(const platform::PlatformHandle& staticCode,
                                                         std::uint32_t flags) const {
  calls_.push_back({"checkStaticValidity", nameOf(staticCode), flags});
  const FakeSignature* signature = signatureOf(staticCode, true);
  return signature != nullptr && signature->valid ? kSuccess : kFailure;
}

platform::SigningInformationResult FakeCodeSigningService::copySigningInformation(
    const platform::PlatformHandle& code, std::uint32_t flags) const {
  calls_.push_back({"copySigningInformation", nameOf(code), flags});
  const FakeSignature* running = signatureOf(code, false);
  const FakeSignature* signature = running != nullptr && running->staticCodeAvailable ? running : signatureOf(code, true);
  if (signature == nullptr || !signature->informationAvailable) return {kFailure, std::nullopt};
  platform::SigningInformation information;
  information.identifier = signature->identifier;
  if ((flags & kSigningInformation) != 0) information.teamIdentifier = signature->teamIdentifier;
  information.hasDesignatedRequirement =
      (flags & kRequirementInformation) != 0 && signature->hasDesignatedRequirement;
  return {kSuccess, std::move(information)};
}

}  // namespace pellucor::testing
