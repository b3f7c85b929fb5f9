#pragma once

#include <array>
#include <cstdint>

#include "platform/screen_capture.hpp"
#include "platform/simulated/desktop_model.hpp"

namespace pellucor::simulated {

// The image a capture of a window delivers, as the platform hands images
// over: 8-bit BGRA, rows top to bottom, no row padding, colour premultiplied
// by alpha (rounded to the nearest value). A decoded PNG gives its own size;
// otherwise the image's `size`, when given, replaces `width` and `height`,
// the fill covers it, and each rectangle then replaces the pixels it covers
// (clipped to the image, not blended), in order. `width` and `height` must
// lie within 0 and kMaximumImageSide and their product within
// kMaximumImagePixels; the caller checks.
platform::CapturedImage renderWindowImage(const SimulatedImage& image, std::int64_t width, std::int64_t height);

// One straight RGBA colour as premultiplied BGRA bytes.
std::array<std::uint8_t, 4> premultipliedBGRA(const StraightColor& color);

}  // namespace pellucor::simulated
