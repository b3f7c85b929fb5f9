#pragma once

#include <CoreGraphics/CoreGraphics.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/screen_capture.hpp"

namespace pellucor::platform::macos {

// `image`'s pixels as the services hand them over: 8 bits per component,
// blue, green, red, alpha in memory (alpha first in a 32-bit little-endian
// word), colour premultiplied by alpha, rows top to bottom.
//
// An image already in that layout is copied row stride and all (the
// platform's row padding stays in `bytesPerRow`). Any other layout is drawn
// into a bitmap context of exactly that layout, in the image's own colour
// space when it is an RGB space that can be drawn into, so that colours are
// not converted, and in sRGB otherwise.
//
// Throws PlatformError when `image` is null, its pixels cannot be read, its
// buffer is shorter than the rows it claims (nothing beyond the buffer's
// length is ever read), a size overflows, or no bitmap context can be made.
CapturedImage premultipliedBGRA(CGImageRef image);

// Screen capture through ScreenCaptureKit and the Core Graphics window list.
//
// The two asynchronous calls block the calling thread until their completion
// handler runs or `stop` asks for a stop, whichever comes first. A stop asked
// for before the call means the platform is not asked at all. A completion
// that arrives after a stop is released and dropped. A stop, an NSError (its
// code as status, its domain and description as text), an answer with
// neither a result nor an error, and an Objective-C exception are each a
// PlatformError.
class MacScreenCapture final : public ScreenCaptureService {
 public:
  // +[SCShareableContent getShareableContentExcludingDesktopWindows:YES
  // onScreenWindowsOnly:YES completionHandler:]: every window of the content
  // in its order, each handle holding the SCWindow itself.
  std::vector<ShareableWindow> shareableWindows(StopToken stop) const override;

  // +[SCScreenshotManager captureImageWithFilter:configuration:
  // completionHandler:] with a filter of the one window `window` (a handle
  // from shareableWindows; any other handle is a PlatformError) and a stream
  // configuration on which only the members `configuration` holds are set.
  // The image as premultipliedBGRA gives it.
  CapturedImage captureImage(const PlatformHandle& window, const CaptureConfiguration& configuration,
                             StopToken stop) const override;

  // CGWindowListCopyWindowInfo(options, relativeToWindow), converted by the
  // layer's one value conversion; nothing when the platform gives no list.
  std::optional<PlatformValue> windowList(std::uint32_t options, std::uint32_t relativeToWindow) const override;
};

}  // namespace pellucor::platform::macos
