#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include "platform/stop_token.hpp"

#include "native/screen_window_access.hpp"
#include "platform/screen_capture.hpp"
#include "wire/pellucor_error.hpp"

namespace pellucor {

// Window listing and single-window capture over the platform's screen-capture
// service. It keeps no state of its own: every call asks the platform afresh.
class SystemScreenWindowAccess final : public ScreenWindowAccessing {
 public:
  explicit SystemScreenWindowAccess(std::shared_ptr<const platform::ScreenCaptureService> screenCapture);

  // One ScreenWindow per shareable window, in the platform's order, nothing
  // filtered: a window without an owning application has pid -1 and an empty
  // bundle identifier, one without a title an empty title, and `native` is the
  // platform's own window object. A failure of the platform passes through
  // unchanged as a platform::PlatformError.
  ScreenWindowList windows(platform::StopToken stop) override;

  // Fails with "window_handle_missing" when `window` carries no platform
  // window object (nothing is asked of the platform then); otherwise the
  // image the platform captures of that window alone, or its failure
  // unchanged.
  platform::CapturedImage capture(const ScreenWindow& window, const platform::CaptureConfiguration& configuration,
                                  platform::StopToken stop) override;

  // The platform's older window list of on-screen windows without desktop
  // elements, relative to no particular window; nothing when the platform
  // cannot give it.
  std::optional<platform::PlatformValue> legacyWindowList() override;

  static constexpr std::uint32_t kLegacyWindowListOptions =
      platform::kWindowListOnScreenOnly | platform::kWindowListExcludeDesktopElements;
  static constexpr std::uint32_t kLegacyWindowListRelativeTo = 0;  // no window

 private:
  std::shared_ptr<const platform::ScreenCaptureService> screenCapture_;
};

namespace screen_window_errors {
inline constexpr ErrorDefinition kHandleMissing{"window_handle_missing",
                                          "verified ScreenCaptureKit window handle is absent"};
}  // namespace screen_window_errors

}  // namespace pellucor
