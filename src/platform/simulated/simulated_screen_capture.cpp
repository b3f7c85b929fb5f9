#include "platform/simulated/simulated_services.hpp"

#include <algorithm>
#include <cmath>

#include "platform/platform_error.hpp"
#include "platform/simulated/window_image.hpp"

namespace pellucor::simulated {

namespace {

// A side the configuration left unset is the window frame's, truncated (a
// frame side that is not finite or not positive gives 0).
std::int64_t sideOf(const std::optional<std::int64_t>& configured, double frameSide) {
  if (configured) return *configured;
  if (!std::isfinite(frameSide) || frameSide <= 0) return 0;
  return static_cast<std::int64_t>(std::min(frameSide, static_cast<double>(kMaximumImageSide + 1)));
}

}  // namespace

std::vector<platform::ShareableWindow> SimulatedScreenCapture::shareableWindows(platform::StopToken stop) const {
  state().delay(SimulatedCall::shareableContent, stop);
  if (model().screenError) throw platform::PlatformError(*model().screenError);
  std::vector<platform::ShareableWindow> windows;
  for (const auto& window : model().windows) {
    platform::ShareableWindow description = window->description;
    if (window->hasHandle) description.handle = window;
    windows.push_back(std::move(description));
  }
  return windows;
}

platform::CapturedImage SimulatedScreenCapture::captureImage(const platform::PlatformHandle& window,
                                                             const platform::CaptureConfiguration& configuration,
                                                             platform::StopToken stop) const {
  const auto* simulated = dynamic_cast<const SimulatedWindow*>(window.get());
  if (simulated == nullptr) throw platform::PlatformError("the capture filter holds no window of this desktop");
  state().events().capture(simulated->description.windowID, configuration);
  state().delay(SimulatedCall::capture, stop);
  if (simulated->captureError) throw platform::PlatformError(*simulated->captureError);

  const std::int64_t width = sideOf(configuration.width, simulated->description.frame.width);
  const std::int64_t height = sideOf(configuration.height, simulated->description.frame.height);
  const bool ownSize = simulated->image.png || simulated->image.size;
  if (!ownSize && (width < 0 || height < 0 || width > kMaximumImageSide || height > kMaximumImageSide ||
                   width * height > kMaximumImagePixels)) {
    throw platform::PlatformError("the capture size " + std::to_string(width) + " x " + std::to_string(height) +
                                  " is beyond what the simulated display can deliver");
  }
  return renderWindowImage(simulated->image, width, height);
}

std::optional<platform::PlatformValue> SimulatedScreenCapture::windowList(std::uint32_t, std::uint32_t) const {
  state().delay(SimulatedCall::legacyWindowList);
  return model().legacyWindowList;
}

}  // namespace pellucor::simulated
