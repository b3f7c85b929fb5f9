#include "native/system_screen_window_access.hpp"

#include <utility>

namespace pellucor {

SystemScreenWindowAccess::SystemScreenWindowAccess(
    std::shared_ptr<const platform::ScreenCaptureService> screenCapture)
    : screenCapture_(std::move(screenCapture)) {}

ScreenWindowList SystemScreenWindowAccess::windows(platform::StopToken stop) {
  const std::vector<platform::ShareableWindow> shareable = screenCapture_->shareableWindows(std::move(stop));
  ScreenWindowList windows;
  windows.reserve(shareable.size());
  for (const platform::ShareableWindow& window : shareable) {
    WindowCandidate candidate;
    if (window.owner) {
      candidate.pid = window.owner->pid;
      candidate.bundleID = window.owner->bundleIdentifier.value_or(std::string());
    }
    candidate.windowID = window.windowID;
    candidate.onScreen = window.onScreen;
    candidate.title = window.title.value_or(std::string());
    candidate.frame = window.frame;
    windows.push_back(std::make_shared<const ScreenWindow>(ScreenWindow{std::move(candidate), window.handle}));
  }
  return windows;
}

platform::CapturedImage SystemScreenWindowAccess::capture(const ScreenWindow& window,
                                                          const platform::CaptureConfiguration& configuration,
                                                          platform::StopToken stop) {
  if (!window.native) fail(screen_window_errors::kHandleMissing);
  return screenCapture_->captureImage(window.native, configuration, std::move(stop));
}

std::optional<platform::PlatformValue> SystemScreenWindowAccess::legacyWindowList() {
  return screenCapture_->windowList(kLegacyWindowListOptions, kLegacyWindowListRelativeTo);
}

}  // namespace pellucor
