#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include "platform/stop_token.hpp"
#include <string>
#include <vector>

#include "platform/platform_value.hpp"
#include "platform/screen_capture.hpp"

namespace pellucor {

// One capturable window as the screen-capture service describes it.
struct WindowCandidate {
  std::int32_t pid = -1;   // -1: no owning application
  std::string bundleID;    // empty: no owning application or no identifier
  std::uint32_t windowID = 0;
  bool onScreen = false;
  std::string title;       // empty: no title
  platform::Rect frame;    // in screen points, as reported
};

// Texts by canonical equivalence, frames exactly.
bool operator==(const WindowCandidate& a, const WindowCandidate& b);

// A window's metadata together with the very platform window object it was
// read from, so that the matched window is captured without a second lookup.
struct ScreenWindow {
  WindowCandidate candidate;
  platform::PlatformHandle native;  // null: no platform handle (capture refuses it)
};
using ScreenWindowList = std::vector<std::shared_ptr<const ScreenWindow>>;

// Lists and captures windows. Both calls may block until the platform
// completes them, so callers bound them with a deadline; a platform failure
// is a PlatformError, passed on unchanged.
class ScreenWindowAccessing {
 public:
  virtual ~ScreenWindowAccessing() = default;
  // Every capturable on-screen window, in the platform's order.
  virtual ScreenWindowList windows(platform::StopToken stop) = 0;
  // One image of `window` alone with `configuration`.
  virtual platform::CapturedImage capture(const ScreenWindow& window,
                                          const platform::CaptureConfiguration& configuration,
                                          platform::StopToken stop) = 0;
  // The older window list of the platform (on-screen windows, desktop
  // elements excluded): a list of dictionaries as the platform types them, or
  // nothing when it cannot be obtained. One synchronous call that never fails;
  // a substitute without such a list may keep this default.
  virtual std::optional<platform::PlatformValue> legacyWindowList() { return std::nullopt; }
};

}  // namespace pellucor
