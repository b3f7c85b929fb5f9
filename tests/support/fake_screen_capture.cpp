#include "support/fake_screen_capture.hpp"

#include <condition_variable>
#include <memory>
#include <utility>

#include "platform/platform_error.hpp"

namespace pellucor::testing {

platform::ShareableWindow FakeScreenCapture::window(std::uint32_t windowID, std::int32_t pid, std::string bundleID,
                                                    std::string title, platform::Rect frame) {
  platform::ShareableWindow window;
  window.windowID = windowID;
  window.owner = platform::OwningApplication{pid, std::move(bundleID)};
  window.title = std::move(title);
  window.frame = frame;
  window.handle = std::make_shared<const FakeWindowHandle>(windowID);
  return window;
}

std::vector<platform::ShareableWindow> FakeScreenCapture::shareableWindows(platform::StopToken) const {
  if (listingError) throw platform::PlatformError(*listingError);
  return windows;
}

platform::CapturedImage FakeScreenCapture::captureImage(const platform::PlatformHandle& window,
                                                        const platform::CaptureConfiguration& configuration,
                                                        platform::StopToken stop) const {
  {
    const std::lock_guard lock(mutex_);
    captures_.push_back(Capture{window, configuration});
  }
  if (onCapture) onCapture();
  if (captureDelay.count() > 0) {
    if (stop.sleepFor(captureDelay)) {
      const std::lock_guard guard(mutex_);
      captureSawStop_ = true;
    }
  }
  if (captureError) throw platform::PlatformError(*captureError);
  return image;
}

std::optional<platform::PlatformValue> FakeScreenCapture::windowList(std::uint32_t options,
                                                                     std::uint32_t relativeToWindow) const {
  {
    const std::lock_guard lock(mutex_);
    windowListRequests_.push_back(WindowListRequest{options, relativeToWindow});
  }
  if (onWindowList) onWindowList();
  if (windowListError) throw platform::PlatformError(*windowListError);
  return legacyList;
}

std::vector<FakeScreenCapture::Capture> FakeScreenCapture::captures() const {
  const std::lock_guard lock(mutex_);
  return captures_;
}

std::vector<FakeScreenCapture::WindowListRequest> FakeScreenCapture::windowListRequests() const {
  const std::lock_guard lock(mutex_);
  return windowListRequests_;
}

bool FakeScreenCapture::captureSawStop() const {
  const std::lock_guard lock(mutex_);
  return captureSawStop_;
}

}  // namespace pellucor::testing
