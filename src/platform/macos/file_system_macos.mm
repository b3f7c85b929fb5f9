#include "platform/macos/file_system_macos.hpp"

#import <Foundation/Foundation.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/macos/cf_ref.hpp"
#include "platform/macos/cf_value.hpp"
#include "platform/platform_error.hpp"

namespace pellucor::platform::macos {
namespace {

CFRef<CFURLRef> fileURL(std::string_view path, bool isDirectory) {
  return CFRef<CFURLRef>::adopt(CFURLCreateFromFileSystemRepresentation(
      kCFAllocatorDefault, reinterpret_cast<const UInt8*>(path.data()), static_cast<CFIndex>(path.size()),
      isDirectory));
}

}  // namespace

std::string MacFileSystem::resolvingSymlinksInPath(std::string_view path) const {
  const auto string = makeCFString(path);
  if (!string) return std::string(path);
  @autoreleasepool {
    @try {
      NSURL* url = [NSURL fileURLWithPath:(__bridge NSString*)string.get()];
      NSString* resolved = url.URLByResolvingSymlinksInPath.URLByStandardizingPath.path;
      if (resolved == nil) return std::string(path);
      return utf8String((__bridge CFStringRef)resolved);
    } @catch (NSException*) {
      // Resolution never fails for the caller: what cannot be resolved stays.
      return std::string(path);
    }
  }
}

std::optional<bool> MacFileSystem::isSymbolicLink(std::string_view path) const {
  const auto url = fileURL(path, false);
  if (!url) throw PlatformError("no file URL for the path: " + std::string(path));
  CFRef<CFTypeRef> value;
  CFRef<CFErrorRef> error;
  if (!CFURLCopyResourcePropertyForKey(url.get(), kCFURLIsSymbolicLinkKey, value.out(), error.out())) {
    if (!error) throw PlatformError("symbolic-link lookup failed for " + std::string(path));
    const auto description = CFRef<CFStringRef>::adopt(CFErrorCopyDescription(error.get()));
    throw PlatformError("symbolic-link lookup failed for " + std::string(path) + ": " + utf8String(description.get()),
                        CFErrorGetCode(error.get()));
  }
  const auto flag = cfCast<CFBooleanRef>(value.get());
  if (flag == nullptr) return std::nullopt;
  return CFBooleanGetValue(flag) != 0;
}

std::optional<OpenedBundle> MacFileSystem::openBundle(std::string_view path) const {
  const auto url = fileURL(path, true);
  if (!url) return std::nullopt;
  const auto bundle = CFRef<CFBundleRef>::adopt(CFBundleCreate(kCFAllocatorDefault, url.get()));
  if (!bundle) return std::nullopt;
  OpenedBundle opened;
  if (const auto identifier = cfCast<CFStringRef>(CFBundleGetIdentifier(bundle.get()))) {
    opened.identifier = utf8String(identifier);
  }
  return opened;
}

}  // namespace pellucor::platform::macos
