#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/macos/cf_ref.hpp"
#include "platform/main_bundle.hpp"

namespace pellucor::platform::macos {

// The bundle of the executable that is actually running, found the way Core
// Foundation finds its main bundle when no CFProcessPath variable is set:
// from the executable path as launched (_NSGetExecutablePath, links not
// resolved), the directory that holds `<bundle>/<any>/MacOS/<executable>`
// (or `<bundle>/<any>/Executables/MacOS/<executable>`), or else the
// executable's own directory, opened with CFBundleCreate.
// CFBundleGetMainBundle is never used: whoever starts the process can point
// it at another bundle through the environment.
//
// Unlike Core Foundation's main bundle, the info dictionary is always the
// bundle directory's own: an Info.plist section embedded in the executable is
// not consulted (Core Foundation uses one when the directory has no
// Info.plist, or when the running executable is not the one the Info.plist
// names).
class MacMainBundle final : public MainBundleService {
 public:
  // Finds and opens the bundle once; the answers do not change afterwards.
  MacMainBundle();

  // CFBundleGetIdentifier.
  std::optional<std::string> bundleIdentifier() const override;
  // The path of the executable URL as the main bundle reports it: the path
  // the process was launched by, links unresolved.
  std::optional<std::string> executablePath() const override;
  // The path of CFBundleCopyBundleURL, links unresolved; empty when no bundle
  // opened.
  std::string bundlePath() const override;
  // CFBundleGetValueForInfoDictionaryKey (the localised value when the bundle
  // has one), through platformValue; nothing for a key that is not UTF-8.
  std::optional<PlatformValue> infoValue(std::string_view key) const override;

 private:
  CFRef<CFBundleRef> bundle_;
  std::optional<std::string> executablePath_;
};

// The bundle directory Core Foundation derives from an absolute executable
// path: the executable's directory, or, when that directory is named
// "MacOS", the directory two levels up (three when the level above "MacOS"
// is named "Executables"). Empty when nothing is left. Names are compared
// exactly, and links are not resolved.
std::string bundleDirectoryForExecutable(std::string_view executablePath);

}  // namespace pellucor::platform::macos
