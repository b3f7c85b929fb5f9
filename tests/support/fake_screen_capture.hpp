#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include "platform/stop_token.hpp"
#include <string>
#include <vector>

#include "platform/screen_capture.hpp"

namespace pellucor::testing {

// A window object of the fake screen-capture service, known by its number.
struct FakeWindowHandle final : platform::PlatformObject {
  explicit FakeWindowHandle(std::uint32_t number) : windowID(number) {}
  std::uint32_t windowID;
};

// A screen-capture service answering from plain fields and recording what it
// was asked. Its calls may run on a bounded wait's worker, so the records are
// guarded; read them through the accessors.
class FakeScreenCapture final : public platform::ScreenCaptureService {
 public:
  struct Capture {
    platform::PlatformHandle window;
    platform::CaptureConfiguration configuration;
  };
  struct WindowListRequest {
    std::uint32_t options;
    std::uint32_t relativeToWindow;
  };

  // A shareable window with a handle of its own, owned by `pid`/`bundleID`.
  static platform::ShareableWindow window(std::uint32_t windowID, std::int32_t pid, std::string bundleID,
                                          std::string title, platform::Rect frame);

  std::vector<platform::ShareableWindow> windows;
  std::optional<std::string> listingError;  // listing fails with this PlatformError
  platform::CapturedImage image;            // what every capture returns
  std::optional<std::string> captureError;  // capturing fails with this PlatformError
  // A capture blocks this long, or until it is asked to stop.
  std::chrono::milliseconds captureDelay{0};
  std::optional<platform::PlatformValue> legacyList;
  std::optional<std::string> windowListError;  // the legacy list fails with this PlatformError
  // Run at the start of every capture and every legacy-list request, for
  // tests that move a clock while the platform works.
  std::function<void()> onCapture;
  std::function<void()> onWindowList;

  std::vector<platform::ShareableWindow> shareableWindows(platform::StopToken stop) const override;
  platform::CapturedImage captureImage(const platform::PlatformHandle& window,
                                       const platform::CaptureConfiguration& configuration,
                                       platform::StopToken stop) const override;
  std::optional<platform::PlatformValue> windowList(std::uint32_t options,
                                                    std::uint32_t relativeToWindow) const override;

  std::vector<Capture> captures() const;
  std::vector<WindowListRequest> windowListRequests() const;
  // Whether a capture that was asked to stop saw the request.
  bool captureSawStop() const;

 private:
  mutable std::mutex mutex_;
  mutable std::vector<Capture> captures_;
  mutable std::vector<WindowListRequest> windowListRequests_;
  mutable bool captureSawStop_ = false;
};

}  // namespace pellucor::testing
