#include "platform/simulated/simulated_services.hpp"

namespace pellucor::simulated {

namespace {

namespace flags = platform::code_signing_flags;

// The Security framework's statuses for the failures the desktop simulates.
constexpr std::int32_t kSuccess = platform::code_signing_status::kSuccess;
constexpr std::int32_t kInvalidFlags = platform::code_signing_status::kInvalidFlags;
constexpr std::int32_t kInvalidObjectReference = -67071;  // errSecCSInvalidObjectRef
constexpr std::int32_t kStaticCodeNotFound = -67068;      // errSecCSStaticCodeNotFound
constexpr std::int32_t kNoSuchCode = -67065;              // errSecCSNoSuchCode
constexpr std::int32_t kUnsigned = -67062;                // errSecCSUnsigned
constexpr std::int32_t kSignatureFailed = -67061;         // errSecCSSignatureFailed

// A running code (a process's code) and a static code (its file on disk).
struct RunningCode final : platform::PlatformObject {
  explicit RunningCode(CodeReference c) : code(std::move(c)) {}
  CodeReference code;
};
struct StaticCode final : platform::PlatformObject {
  explicit StaticCode(CodeReference c) : code(std::move(c)) {}
  CodeReference code;
};

platform::CodeResult runningCodeResult(const CodeReference& code) {
  if (!code) return {kNoSuchCode, nullptr};
  return {kSuccess, std::make_shared<RunningCode>(code)};
}

// The static calls take static code and, as the framework does, running
// code too (standing for its static code).
struct StaticLookup {
  std::int32_t status = kSuccess;
  const SimulatedCode* code = nullptr;
};
StaticLookup staticCodeOf(const platform::PlatformHandle& handle) {
  if (const auto* staticCode = dynamic_cast<const StaticCode*>(handle.get())) return {kSuccess, staticCode->code.get()};
  if (const auto* running = dynamic_cast<const RunningCode*>(handle.get())) {
    if (!running->code->staticCode) return {kStaticCodeNotFound, nullptr};
    return {kSuccess, running->code.get()};
  }
  return {kInvalidObjectReference, nullptr};
}

}  // namespace

platform::CodeResult SimulatedCodeSigning::copySelf(std::uint32_t) const {
  state().delay(SimulatedCall::selfCode);
  return runningCodeResult(model().helper.code);
}

platform::CodeResult SimulatedCodeSigning::copyGuestWithPid(std::int32_t pid, std::uint32_t) const {
  state().delay(SimulatedCall::guestCode);
  const auto process = model().processes.find(pid);
  return runningCodeResult(process == model().processes.end() ? nullptr : process->second.code);
}

std::int32_t SimulatedCodeSigning::checkValidity(const platform::PlatformHandle& code, std::uint32_t flagsGiven) const {
  state().delay(SimulatedCall::checkValidity);
  // Checking all architectures is a static check; running code refuses it.
  if ((flagsGiven & flags::kCheckAllArchitectures) != 0) return kInvalidFlags;
  const auto* running = dynamic_cast<const RunningCode*>(code.get());
  if (running == nullptr) return kInvalidObjectReference;
  return running->code->valid ? kSuccess : kSignatureFailed;
}

platform::CodeResult SimulatedCodeSigning::copyStaticCode(const platform::PlatformHandle& code, std::uint32_t) const {
  const auto* running = dynamic_cast<const RunningCode*>(code.get());
  if (running == nullptr) return {kInvalidObjectReference, nullptr};
  if (!running->code->staticCode) return {kStaticCodeNotFound, nullptr};
  return {kSuccess, std::make_shared<StaticCode>(running->code)};
}

std::int32_t SimulatedCodeSigning::checkStaticValidity(const platform::PlatformHandle& staticCode,
                                                       std::uint32_t) const {
  state().delay(SimulatedCall::checkValidity);
  // Static code takes any flags, checking all architectures and leaving out
  // the resources among them; a code's one `valid` fact answers them all.
  const StaticLookup lookup = staticCodeOf(staticCode);
  if (lookup.code == nullptr) return lookup.status;
  return lookup.code->valid ? kSuccess : kSignatureFailed;
}

platform::SigningInformationResult SimulatedCodeSigning::copySigningInformation(
    const platform::PlatformHandle& code, std::uint32_t flagsGiven) const {
  state().delay(SimulatedCall::signingInformation);
  const StaticLookup lookup = staticCodeOf(code);
  if (lookup.code == nullptr) return {lookup.status, std::nullopt};
  if (!lookup.code->information) return {kUnsigned, std::nullopt};
  const SimulatedSigningInformation& given = *lookup.code->information;
  // As the framework groups its dictionary: the identifier always, the team
  // with the signing information, the designated requirement with the
  // requirement information.
  platform::SigningInformation information;
  information.identifier = given.identifier;
  if ((flagsGiven & flags::kSigningInformation) != 0) information.teamIdentifier = given.team;
  information.hasDesignatedRequirement =
      given.designatedRequirement && (flagsGiven & flags::kRequirementInformation) != 0;
  return {kSuccess, std::move(information)};
}

}  // namespace pellucor::simulated
