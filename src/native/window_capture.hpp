#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "native/monotonic_deadline.hpp"
#include "native/native_operating.hpp"
#include "native/screen_window_access.hpp"
#include "native/target_validation_records.hpp"
#include "platform/screen_capture.hpp"
#include "wire/pellucor_error.hpp"
#include "wire/records.hpp"

namespace pellucor {

// The accepted width and height of a capture, in points, bounds included.
inline constexpr std::int64_t kSmallestCaptureSide = 1;
inline constexpr std::int64_t kLargestCaptureSide = 8192;

// The configuration of one capture of a window `width` by `height` points: no
// cursor, the best resolution, 32-bit BGRA pixels.
platform::CaptureConfiguration captureConfiguration(std::int64_t width, std::int64_t height);

// One PNG image of exactly the target's verified focused window, as
// {"window_id", "width", "height" (of the captured image), "png_sha256",
// "png_base64"}. The target must name its window. The focused window is
// matched twice over one listing of the target's windows, around a second
// validation (`validate` is called twice), so that focus moving in between is
// noticed, and the very window object that was matched is captured, under the
// deadline. The observation is the second validation's, with the captured
// window's identifier.
//
// Fails, in this order of checks, with "window_required"; the errors of
// `validate`, candidateWindows and both matches, unchanged (the second match
// does not enforce the requested identifier); "focused_window_changed" when
// the second match is another window; "invalid_frame_size" when a side of the
// matched frame, truncated, lies outside 1..8192 or is not a finite number;
// the capture's own failure or the bounded wait's timeout, unchanged;
// "empty_or_black_frame"; the PNG encoder's errors; "png_too_large" above
// the PNG ceiling; and "operation_timeout" when the deadline has passed once
// the PNG and its digest are ready. A platform failure of the capture stays a
// platform::PlatformError.
NativeExecution captureFocusedWindow(const std::function<ValidatedTarget()>& validate,
                                     const std::shared_ptr<ScreenWindowAccessing>& screenWindows,
                                     const Target& target, const MonotonicDeadline& deadline);

namespace capture_errors {
inline constexpr ErrorDefinition kWindowRequired{"window_required", "capture requires exact window_id"};
inline constexpr ErrorDefinition kFocusedWindowChanged{
    "focused_window_changed", "focused Plugin application window identity changed before capture"};
inline constexpr ErrorDefinition kEmptyOrBlackFrame{"empty_or_black_frame",
                                              "exact-window capture returned empty or black pixels"};
inline constexpr ErrorDefinition kPNGTooLarge{"png_too_large", "PNG exceeds 12 MiB"};
}  // namespace capture_errors

}  // namespace pellucor
