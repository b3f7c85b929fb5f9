#include "platform/macos/main_bundle_macos.hpp"

#include <mach-o/dyld.h>

#include <array>
#include <cstdint>

#include "platform/macos/cf_value.hpp"

namespace pellucor::platform::macos {
namespace {

// Core Foundation reads the executable path into a buffer of this size and
// takes no path at all when it does not fit.
constexpr std::uint32_t kProcessPathBufferSize = 1026;

// Core Foundation's path-component arithmetic for absolute POSIX paths. The
// length of `path` without its last component and the slash before it (the
// root slash stays); a trailing slash is taken as part of the last component.
std::size_t lengthAfterDeletingLastPathComponent(std::string_view path) {
  if (path.size() < 2) return 0;
  for (std::size_t index = path.size() - 1; index > 0; --index) {
    if (path[index - 1] == '/') return index == 1 ? index : index - 1;
  }
  return 0;
}

// Where the last component of `path` starts; 0 when it has no slash.
std::size_t startOfLastPathComponent(std::string_view path) {
  if (path.size() < 2) return 0;
  for (std::size_t index = path.size() - 1; index > 0; --index) {
    if (path[index - 1] == '/') return index;
  }
  return 0;
}

// Whether the last component of `path` is exactly `name`.
bool lastComponentIs(std::string_view path, std::string_view name) {
  const std::size_t start = startOfLastPathComponent(path);
  return start > 0 && start < path.size() && path.substr(start) == name;
}

std::string urlPath(CFURLRef url) {
  const auto absolute = CFRef<CFURLRef>::adopt(CFURLCopyAbsoluteURL(url));
  if (!absolute) return {};
  const auto path = CFRef<CFStringRef>::adopt(CFURLCopyFileSystemPath(absolute.get(), kCFURLPOSIXPathStyle));
  return utf8String(path.get());
}

// The executable URL made absolute and rebuilt as a directory URL plus a last
// component, as Core Foundation does before it looks for the bundle, so that
// the bundle URL sees the same URL clean-up.
CFRef<CFURLRef> resolvedExecutableURL(CFURLRef executableURL) {
  auto absolute = CFRef<CFURLRef>::adopt(CFURLCopyAbsoluteURL(executableURL));
  const std::string path = urlPath(executableURL);
  const std::size_t directoryLength = lengthAfterDeletingLastPathComponent(path);
  if (directoryLength == 0 || directoryLength + 1 >= path.size()) return absolute;
  const auto directory = makeCFString(std::string_view(path).substr(0, directoryLength));
  const auto name = makeCFString(std::string_view(path).substr(directoryLength + 1));
  if (!directory || !name) return absolute;
  const auto directoryURL = CFRef<CFURLRef>::adopt(
      CFURLCreateWithFileSystemPath(kCFAllocatorDefault, directory.get(), kCFURLPOSIXPathStyle, true));
  if (!directoryURL) return absolute;
  const auto relative = CFRef<CFURLRef>::adopt(CFURLCreateWithFileSystemPathRelativeToBase(
      kCFAllocatorDefault, name.get(), kCFURLPOSIXPathStyle, false, directoryURL.get()));
  if (!relative) return absolute;
  auto resolved = CFRef<CFURLRef>::adopt(CFURLCopyAbsoluteURL(relative.get()));
  return resolved ? resolved : absolute;
}

}  // namespace

std::string bundleDirectoryForExecutable(std::string_view executablePath) {
  std::string_view directory = executablePath.substr(0, lengthAfterDeletingLastPathComponent(executablePath));
  if (lastComponentIs(directory, "MacOS")) {
    directory = directory.substr(0, lengthAfterDeletingLastPathComponent(directory));
    if (lastComponentIs(directory, "Executables")) {
      directory = directory.substr(0, lengthAfterDeletingLastPathComponent(directory));
    }
    // The support-files directory, normally "Contents", whatever its name.
    directory = directory.substr(0, lengthAfterDeletingLastPathComponent(directory));
  }
  return std::string(directory);
}

MacMainBundle::MacMainBundle() {
  std::array<char, kProcessPathBufferSize> buffer{};
  std::uint32_t size = kProcessPathBufferSize;
  if (_NSGetExecutablePath(buffer.data(), &size) != 0) return;
  const auto processPath =
      CFRef<CFStringRef>::adopt(CFStringCreateWithFileSystemRepresentation(kCFAllocatorDefault, buffer.data()));
  if (!processPath) return;
  const auto executableURL = CFRef<CFURLRef>::adopt(
      CFURLCreateWithFileSystemPath(kCFAllocatorDefault, processPath.get(), kCFURLPOSIXPathStyle, false));
  if (!executableURL) return;

  const std::string directory = bundleDirectoryForExecutable(urlPath(resolvedExecutableURL(executableURL.get()).get()));
  const auto directoryString = makeCFString(directory);
  if (directory.empty() || !directoryString) return;
  const auto bundleURL = CFRef<CFURLRef>::adopt(
      CFURLCreateWithFileSystemPath(kCFAllocatorDefault, directoryString.get(), kCFURLPOSIXPathStyle, true));
  if (!bundleURL) return;
  bundle_ = CFRef<CFBundleRef>::adopt(CFBundleCreate(kCFAllocatorDefault, bundleURL.get()));
  // Core Foundation's main bundle keeps the launch path as its executable.
  if (bundle_) executablePath_ = urlPath(executableURL.get());
}

std::optional<std::string> MacMainBundle::bundleIdentifier() const {
  if (!bundle_) return std::nullopt;
  const auto identifier = cfCast<CFStringRef>(CFBundleGetIdentifier(bundle_.get()));
  if (identifier == nullptr) return std::nullopt;
  return utf8String(identifier);
}

std::optional<std::string> MacMainBundle::executablePath() const { return executablePath_; }

std::string MacMainBundle::bundlePath() const {
  if (!bundle_) return {};
  const auto url = CFRef<CFURLRef>::adopt(CFBundleCopyBundleURL(bundle_.get()));
  return url ? urlPath(url.get()) : std::string();
}

std::optional<PlatformValue> MacMainBundle::infoValue(std::string_view key) const {
  if (!bundle_) return std::nullopt;
  const auto name = makeCFString(key);
  if (!name) return std::nullopt;
  const CFTypeRef value = CFBundleGetValueForInfoDictionaryKey(bundle_.get(), name.get());
  if (value == nullptr) return std::nullopt;
  return platformValue(value);
}

}  // namespace pellucor::platform::macos
