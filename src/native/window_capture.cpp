#include "native/window_capture.hpp"

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "image/image_routines.hpp"
#include "native/bounded_wait.hpp"
#include "native/focused_window_policy.hpp"
#include "native/window_enumeration.hpp"
#include "text/base64.hpp"

namespace pellucor {
namespace {

using namespace capture_errors;

// A side of the capture: the truncated length of the matched frame's side,
// which must lie within the accepted bounds.
std::int64_t captureSide(double side) {
  const std::optional<std::int64_t> length = truncatedSideLength(side);
  if (!length || *length < kSmallestCaptureSide || *length > kLargestCaptureSide) {
    fail(window_errors::kInvalidFrameSize);
  }
  return *length;
}

}  // namespace

platform::CaptureConfiguration captureConfiguration(std::int64_t width, std::int64_t height) {
  platform::CaptureConfiguration configuration;
  configuration.width = width;
  configuration.height = height;
  configuration.showsCursor = false;
  configuration.captureResolution = platform::kCaptureResolutionBest;
  configuration.pixelFormat = platform::kPixelFormatBGRA;
  return configuration;
}

NativeExecution captureFocusedWindow(const std::function<ValidatedTarget()>& validate,
                                     const std::shared_ptr<ScreenWindowAccessing>& screenWindows,
                                     const Target& target, const MonotonicDeadline& deadline) {
  if (!target.windowID) fail(kWindowRequired);
  const ValidatedTarget first = validate();

  // One listing serves both matches, so that the window captured is the very
  // object matched, not whatever a later listing would call the same number;
  // the match names it by its position in that listing.
  const ScreenWindowList windows = candidateWindows(screenWindows, target, deadline);
  std::vector<WindowCandidate> candidates;
  candidates.reserve(windows.size());
  for (const auto& window : windows) candidates.push_back(window->candidate);
  const std::shared_ptr<const ScreenWindow> window =
      windows[FocusedWindowPolicy::unique(candidates, first.snapshot, target, true)];
  const WindowCandidate& matched = window->candidate;

  ValidatedTarget second = validate();
  const std::size_t rematched = FocusedWindowPolicy::unique(candidates, second.snapshot, target, false);
  if (candidates[rematched].windowID != matched.windowID) fail(kFocusedWindowChanged);

  const std::int64_t width = captureSide(matched.frame.width);
  const std::int64_t height = captureSide(matched.frame.height);
  // The worker may outlive this call when the deadline wins, so it owns what
  // it uses: shared window access and window, and its own configuration.
  platform::CapturedImage image = bounded<platform::CapturedImage>(
      deadline, [screenWindows, window, configuration = captureConfiguration(width, height)](platform::StopToken stop) {
        return screenWindows->capture(*window, configuration, std::move(stop));
      });

  if (image.width < 1 || image.height < 1 || isEmptyOrBlack(image)) fail(kEmptyOrBlackFrame);
  const std::string png = encodePNG(image);
  if (png.size() > kPNGCeiling) fail(kPNGTooLarge);
  std::string digest = sha256Hex(png);
  deadline.check();

  JSONValue::Object result;
  result.emplace("window_id", static_cast<std::int64_t>(window->candidate.windowID));
  result.emplace("width", image.width);
  result.emplace("height", image.height);
  result.emplace("png_sha256", std::move(digest));
  result.emplace("png_base64", text::encodeBase64(png));
  second.observation.windowID = window->candidate.windowID;
  return NativeExecution{std::move(second.observation), JSONValue(std::move(result))};
}

}  // namespace pellucor
