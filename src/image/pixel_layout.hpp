#pragma once

#include <cstddef>
#include <optional>

#include "platform/screen_capture.hpp"

namespace pellucor {

// The shape of a captured image that can be read safely: every row of
// `width` four-byte pixels fits in `bytesPerRow`, and the buffer holds
// `height` whole rows.
struct PixelLayout {
  std::size_t width = 0;
  std::size_t height = 0;
  std::size_t bytesPerRow = 0;
};

// The layout of `image`, or nothing when the image has no pixels, its rows are
// narrower than its pixels, its buffer is shorter than height * bytesPerRow,
// or one of these sizes does not fit in memory arithmetic. A platform that
// hands over such an image has failed; callers refuse it instead of reading
// past the buffer.
std::optional<PixelLayout> pixelLayout(const platform::CapturedImage& image) noexcept;

}  // namespace pellucor
