#include "host/host_identity.hpp"

#include "text/canonical_text_search.hpp"
#include "text/text_equality.hpp"

namespace pellucor::host_identity {

std::optional<std::string> hostBundleID(std::string_view helperBundleID) {
  std::optional<std::string> host = canonical_text::canonicalFormWithoutSuffix(helperBundleID, kHelperBundleIDSuffix);
  if (!host || host->empty()) return std::nullopt;
  return host;
}

std::string_view productName(std::string_view hostBundleID) {
  return text::textEquals(hostBundleID, kDevelopmentHost.bundleID) ? kDevelopmentHost.productName
                                                                   : kProductionHost.productName;
}

}  // namespace pellucor::host_identity
