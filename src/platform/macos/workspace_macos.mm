#include "platform/macos/workspace_macos.hpp"

#import <AppKit/AppKit.h>

#include "platform/macos/objc_call.h"

namespace pellucor::platform::macos {

std::optional<RunningApplication> MacWorkspace::frontmostApplication() const {
  return objcCall("NSWorkspace frontmostApplication", []() -> std::optional<RunningApplication> {
    NSRunningApplication* application = NSWorkspace.sharedWorkspace.frontmostApplication;
    if (application == nil) return std::nullopt;
    RunningApplication running;
    running.pid = application.processIdentifier;
    running.bundleIdentifier = optionalUTF8(application.bundleIdentifier);
    running.localizedName = optionalUTF8(application.localizedName);
    return running;
  });
}

}  // namespace pellucor::platform::macos
