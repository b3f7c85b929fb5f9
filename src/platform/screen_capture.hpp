#pragma once

#include <cstdint>
#include <optional>
#include "platform/stop_token.hpp"
#include <string>
#include <vector>

#include "platform/platform_value.hpp"

namespace pellucor::platform {

// The application that owns a shareable window.
struct OwningApplication {
  std::int32_t pid = 0;
  std::optional<std::string> bundleIdentifier;
};

// One window of the shareable content, as the platform describes it.
struct ShareableWindow {
  std::uint32_t windowID = 0;
  std::optional<OwningApplication> owner;
  bool onScreen = true;
  std::optional<std::string> title;
  Rect frame;
  PlatformHandle handle;  // the platform's window object; null when absent
};

// The settings of one capture, each recorded only when it was set.
struct CaptureConfiguration {
  std::optional<std::int64_t> width;
  std::optional<std::int64_t> height;
  std::optional<bool> showsCursor;
  std::optional<std::int32_t> captureResolution;  // 1: best
  std::optional<std::uint32_t> pixelFormat;       // 0x42475241: "BGRA"
};

inline constexpr std::int32_t kCaptureResolutionBest = 1;
inline constexpr std::uint32_t kPixelFormatBGRA = 0x42475241;

// A captured image as the platform hands it over: 8-bit BGRA, rows top to
// bottom, colour premultiplied by alpha.
struct CapturedImage {
  std::int64_t width = 0;
  std::int64_t height = 0;
  std::size_t bytesPerRow = 0;
  std::vector<std::uint8_t> pixels;
};

// Window-list options of the legacy window list.
inline constexpr std::uint32_t kWindowListOnScreenOnly = 1;
inline constexpr std::uint32_t kWindowListExcludeDesktopElements = 16;

// Screen capture. The first two calls complete asynchronously on the platform;
// here they block the calling thread until the completion arrives, so callers
// run them through a bounded wait. Their failures are PlatformErrors. The stop
// token carries a cancellation request; the platform may ignore it.
class ScreenCaptureService {
 public:
  virtual ~ScreenCaptureService() = default;
  // The shareable content, desktop windows excluded, on-screen windows only.
  virtual std::vector<ShareableWindow> shareableWindows(platform::StopToken stop) const = 0;
  // One image of the single window `window` with `configuration`.
  virtual CapturedImage captureImage(const PlatformHandle& window, const CaptureConfiguration& configuration,
                                     platform::StopToken stop) const = 0;
  // The legacy window list (CGWindowListCopyWindowInfo) with `options` relative
  // to `relativeToWindow`: a list of dictionaries as the platform types them;
  // nothing when the list cannot be obtained.
  virtual std::optional<PlatformValue> windowList(std::uint32_t options, std::uint32_t relativeToWindow) const = 0;
};

}  // namespace pellucor::platform
