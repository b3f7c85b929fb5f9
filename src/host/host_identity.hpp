#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

// The fixed facts that name the host application, held once for every layer
// that checks the host: the identity rules, target validation and approval
// mode. Comparisons with them are the system's text equality (canonical
// equivalence, no case folding).
namespace pellucor::host_identity {

// One build of the host: its bundle identifier and its product name, which is
// both its localized name and the title of its main window.
struct HostBuild {
  std::string_view bundleID;
  std::string_view productName;
};

inline constexpr HostBuild kProductionHost{"com.brevant.zorvane", "Zorvane"};
inline constexpr HostBuild kDevelopmentHost{"com.brevant.zorvane.dev", "Zorvane Dev"};
inline constexpr std::array<HostBuild, 2> kHostBuilds{kProductionHost, kDevelopmentHost};

// A helper's bundle identifier is its host's with this ending.
inline constexpr std::string_view kHelperBundleIDSuffix = ".pellucor";
inline constexpr std::string_view kDevelopmentHelperBundleID = "com.brevant.zorvane.dev.pellucor";

// The bundle identifier of the host a helper belongs to: the helper's own
// without its ".pellucor" ending, the ending matched under canonical
// equivalence and at a character boundary, the rest given in canonical form
// (equal to the original part). Nothing when the helper's identifier does not
// end so or nothing precedes the ending. Its argument must be well-formed
// UTF-8; never fails otherwise.
std::optional<std::string> hostBundleID(std::string_view helperBundleID);

// The product name a host with `hostBundleID` must show: the development
// build's for its identifier, the production build's for any other.
std::string_view productName(std::string_view hostBundleID);

}  // namespace pellucor::host_identity
