#include "identity/identity_policy.hpp"

#include <string>

#include "host/host_identity.hpp"
#include "identity/file_url_path.hpp"
#include "text/canonical_text_search.hpp"
#include "text/file_path.hpp"
#include "text/text_equality.hpp"

namespace pellucor {

IdentityPolicy::ChannelNames IdentityPolicy::names(IdentityChannel channel) {
  switch (channel) {
    case IdentityChannel::development:
      return {"Zorvane Pellucor Dev", "Zorvane Pellucor Dev.app", "Zorvane Dev.app"};
    case IdentityChannel::production:
      return {"Zorvane Pellucor", "Zorvane Pellucor.app", "Zorvane.app"};
  }
  return {};
}

std::optional<IdentityChannel> IdentityPolicy::channel(std::string_view bundleID) {
  if (!host_identity::hostBundleID(bundleID)) return std::nullopt;
  if (text::textEquals(bundleID, host_identity::kDevelopmentHelperBundleID)) return IdentityChannel::development;
  return IdentityChannel::production;
}

bool IdentityPolicy::validNestedPath(std::string_view helperPath, IdentityChannel channel) {
  const std::string helper = text::standardizeFilePath(helperPath);
  const std::string parent = file_url::deletingLastPathComponent(helper);
  const std::string grandparent = file_url::deletingLastPathComponent(parent);
  const std::string greatGrandparent = file_url::deletingLastPathComponent(grandparent);
  const ChannelNames fixed = names(channel);
  return text::textEquals(file_url::lastPathComponent(helper), fixed.helperBundleDirectory) &&
         text::textEquals(file_url::lastPathComponent(parent), kHelpersDirectoryName) &&
         text::textEquals(file_url::lastPathComponent(grandparent), kContentsDirectoryName) &&
         text::textEquals(file_url::lastPathComponent(greatGrandparent), fixed.hostBundleDirectory);
}

bool IdentityPolicy::allowedIntermediate(std::string_view path, IdentityChannel channel,
                                         std::string_view helperBundlePath) {
  const std::string process = text::standardizeFilePath(path);
  const std::string hostName(names(channel).hostBundleDirectory);
  const std::string hostMarker = "/" + hostName + "/";
  if (const std::optional<std::string> beforeHost =
          canonical_text::canonicalFormBeforeFirst(helperBundlePath, hostMarker)) {
    const std::string hostContents = *beforeHost + "/" + hostName + std::string(kHostContentsPrefix);
    if (canonical_text::startsWith(process, hostContents)) return true;
  }
  switch (channel) {
    case IdentityChannel::production:
      return false;
    case IdentityChannel::development:
      break;
  }
  const std::optional<std::string> repository =
      canonical_text::canonicalFormBeforeFirst(helperBundlePath, kDevelopmentHostInRepository);
  if (!repository) return false;
  return text::textEquals(process, *repository + std::string(kRepositoryInterpreter));
}

}  // namespace pellucor
