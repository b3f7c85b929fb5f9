#include "identity/security_process_identity_validator.hpp"

#include <stdexcept>
#include <vector>

#include "host/host_identity.hpp"
#include "identity/file_url_path.hpp"
#include "identity/utf8_repair.hpp"
#include "text/canonical_text_search.hpp"
#include "text/file_path.hpp"
#include "text/text_equality.hpp"

namespace pellucor {
namespace {

using platform::textOf;
using platform::code_signing_status::kSuccess;

}  // namespace

SecurityProcessIdentityValidator::SecurityProcessIdentityValidator(const platform::PlatformServices& services)
    : mainBundle_(services.mainBundle),
      fileSystem_(services.fileSystem),
      processTable_(services.processTable),
      codeSigning_(services.codeSigning) {
  if (!mainBundle_ || !fileSystem_ || !processTable_ || !codeSigning_) {
    throw std::invalid_argument("the identity validator needs the main bundle, file system, process table "
                                "and code signing services");
  }
}

void SecurityProcessIdentityValidator::validateSelfAndAncestry() {
  const SelfIdentity self = validateSelf();
  walkAncestors(self);
}

SecurityProcessIdentityValidator::SelfIdentity SecurityProcessIdentityValidator::validateSelf() const {
  const std::optional<std::string> bundleID = mainBundle_->bundleIdentifier();
  if (!bundleID) fail(identity_errors::kInvalidSelfBundle);
  const std::optional<IdentityChannel> channel = IdentityPolicy::channel(*bundleID);
  if (!channel) fail(identity_errors::kInvalidSelfBundle);

  const std::optional<std::string> executablePath = mainBundle_->executablePath();
  if (!executablePath) fail(identity_errors::kInvalidSelfBundle);

  // The executable must really live in the bundle the platform reports: a
  // link anywhere in the reported bundle path that leads elsewhere shows up
  // here, because only the executable's side is resolved.
  const std::string bundlePath = mainBundle_->bundlePath();
  const std::string resolvedExecutable = fileSystem_->resolvingSymlinksInPath(*executablePath);
  if (!canonical_text::startsWith(resolvedExecutable,
                                  bundlePath + std::string(IdentityPolicy::kExecutableDirectory))) {
    fail(identity_errors::kInvalidSelfBundle);
  }

  const std::string helperPath = text::standardizeFilePath(bundlePath);
  const std::string helpersDirectory = file_url::deletingLastPathComponent(helperPath);
  const std::string contentsDirectory = file_url::deletingLastPathComponent(helpersDirectory);
  const std::string hostDirectory = file_url::deletingLastPathComponent(contentsDirectory);

  // The channel guarantees the suffix and something before it.
  const std::string hostBundleID = host_identity::hostBundleID(*bundleID).value_or("");

  const std::optional<std::string> displayName = textOf(mainBundle_->infoValue(kDisplayNameKey));
  if (!displayName || !text::textEquals(*displayName, IdentityPolicy::names(*channel).helperDisplayName)) {
    fail(identity_errors::kInvalidSelfPath);
  }
  if (!IdentityPolicy::validNestedPath(helperPath, *channel)) fail(identity_errors::kInvalidSelfPath);
  if (!text::textEquals(file_url::lastPathComponent(helpersDirectory), IdentityPolicy::kHelpersDirectoryName)) {
    fail(identity_errors::kInvalidSelfPath);
  }
  if (!text::textEquals(file_url::pathExtension(hostDirectory), IdentityPolicy::kBundleDirectoryExtension)) {
    fail(identity_errors::kInvalidSelfPath);
  }
  const std::optional<platform::OpenedBundle> hostBundle = fileSystem_->openBundle(hostDirectory);
  if (!hostBundle || !hostBundle->identifier || !text::textEquals(*hostBundle->identifier, hostBundleID)) {
    fail(identity_errors::kInvalidSelfPath);
  }

  rejectSymlinkComponents(bundlePath);

  const platform::CodeResult own = codeSigning_->copySelf(kCopyFlags);
  if (own.status != kSuccess || !own.code) fail(identity_errors::kInvalidSignature);
  std::string teamID = validate(own.code, *bundleID);

  return SelfIdentity{*channel, hostBundleID, bundlePath, std::move(teamID)};
}

void SecurityProcessIdentityValidator::walkAncestors(const SelfIdentity& self) const {
  const std::int32_t firstParent = processTable_->parentProcessID();
  if (firstParent < 2) fail(identity_errors::kAncestorNotFound);

  std::int32_t pid = firstParent;
  int budget = kAncestorBudget;
  for (;;) {
    --budget;
    if (budget == 0) fail(identity_errors::kAncestorNotFound);

    const std::optional<ProcessRecord> record = processInfo(pid);
    if (!record) fail(identity_errors::kUninspectableAncestor);

    // The first ancestor that carries the host's bundle identifier ends the
    // walk either way: it is the genuine host or the check fails.
    if (record->bundleID && text::textEquals(*record->bundleID, self.hostBundleID)) {
      const std::string hostTeamID = validate(record->code, self.hostBundleID);
      if (!text::textEquals(hostTeamID, self.teamID)) fail(identity_errors::kInvalidSignature);
      // The walk began at the pid the helper's parent had then. If that
      // parent has died since, the helper was re-parented and the pid may
      // already name another process, so the accepted chain is no longer the
      // helper's own.
      if (processTable_->parentProcessID() != firstParent) fail(identity_errors::kAncestorNotFound);
      return;
    }

    switch (self.channel) {
      case IdentityChannel::production:
        // The signature comes first, so that a stranger's process is refused
        // for what it is before its location is looked at.
        if (!text::textEquals(validate(record->code, std::nullopt), self.teamID)) {
          fail(identity_errors::kInvalidSignature);
        }
        if (!IdentityPolicy::allowedIntermediate(record->path, self.channel, self.bundlePath)) {
          fail(identity_errors::kProductionParentNotAppOwned);
        }
        break;
      case IdentityChannel::development:
        if (!IdentityPolicy::allowedIntermediate(record->path, self.channel, self.bundlePath)) {
          fail(identity_errors::kDevelopmentParentOutsideChain);
        }
        break;
    }

    if (record->parentPID <= 1) fail(identity_errors::kAncestorNotFound);
    pid = record->parentPID;
  }
}

std::optional<SecurityProcessIdentityValidator::ProcessRecord> SecurityProcessIdentityValidator::processInfo(
    std::int32_t pid) const {
  const std::optional<std::string> rawPath = processTable_->executablePath(pid);
  if (!rawPath) return std::nullopt;
  ProcessRecord record;
  record.path = repairUtf8(std::string_view(*rawPath).substr(0, rawPath->find('\0')));

  platform::CodeResult guest = codeSigning_->copyGuestWithPid(pid, kCopyFlags);
  if (guest.status != kSuccess || !guest.code) return std::nullopt;

  const std::optional<std::int32_t> parentPID = processTable_->parentOf(pid);
  if (!parentPID) return std::nullopt;

  const std::string bundleDirectory = file_url::deletingLastPathComponent(
      file_url::deletingLastPathComponent(file_url::deletingLastPathComponent(record.path)));
  if (const std::optional<platform::OpenedBundle> bundle = fileSystem_->openBundle(bundleDirectory)) {
    record.bundleID = bundle->identifier;
  }
  record.parentPID = *parentPID;
  record.code = std::move(guest.code);
  return record;
}

std::string SecurityProcessIdentityValidator::validate(const platform::PlatformHandle& code,
                                                       std::optional<std::string_view> expectedIdentifier) const {
  if (codeSigning_->checkValidity(code, kRunningValidityFlags) != kSuccess) {
    fail(identity_errors::kInvalidSignature);
  }
  const platform::CodeResult staticCode = codeSigning_->copyStaticCode(code, kCopyFlags);
  if (staticCode.status != kSuccess || !staticCode.code) fail(identity_errors::kInvalidSignature);
  if (codeSigning_->checkStaticValidity(staticCode.code, kStaticValidityFlags) != kSuccess) {
    fail(identity_errors::kInvalidSignature);
  }

  const platform::SigningInformationResult answer =
      codeSigning_->copySigningInformation(staticCode.code, kSigningInformationFlags);
  if (answer.status != kSuccess || !answer.information) fail(identity_errors::kInvalidSignature);
  const std::optional<std::string> identifier = textOf(answer.information->identifier);
  if (!identifier) fail(identity_errors::kInvalidSignature);
  std::optional<std::string> teamID = textOf(answer.information->teamIdentifier);
  if (!teamID || teamID->empty()) fail(identity_errors::kInvalidSignature);
  if (!answer.information->hasDesignatedRequirement) fail(identity_errors::kInvalidSignature);
  if (expectedIdentifier && !text::textEquals(*identifier, *expectedIdentifier)) {
    fail(identity_errors::kInvalidSignature);
  }
  return std::move(*teamID);
}

void SecurityProcessIdentityValidator::rejectSymlinkComponents(std::string_view path) const {
  const std::vector<std::string> components = file_url::pathComponents(text::standardizeFilePath(path));
  std::string location;
  std::size_t next = 0;
  if (!components.empty() && components.front() == "/") {
    location = "/";
    next = 1;
  }
  // Every directory from below the root down to the helper bundle itself is
  // asked about; a lookup that fails passes its platform error on as it is.
  for (; next < components.size(); ++next) {
    location = file_url::appendingPathComponent(location, components[next]);
    if (fileSystem_->isSymbolicLink(location).value_or(false)) fail(identity_errors::kSymlinkPath);
  }
}

}  // namespace pellucor
