#pragma once

#include <optional>

#include "platform/workspace.hpp"

namespace pellucor::platform::macos {

// The workspace of AppKit. Its answer is current only while the main thread
// runs the main run loop, which delivers the workspace's activation changes.
class MacWorkspace final : public WorkspaceService {
 public:
  // NSWorkspace.sharedWorkspace.frontmostApplication: its process identifier,
  // bundle identifier and localized name (each text absent when the platform
  // has none); nothing when no application is frontmost. An Objective-C
  // exception becomes a PlatformError.
  std::optional<RunningApplication> frontmostApplication() const override;
};

}  // namespace pellucor::platform::macos
