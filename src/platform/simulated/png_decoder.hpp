#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace pellucor::simulated {

// An 8-bit RGBA image with straight (not premultiplied) alpha, rows top to
// bottom, four bytes per pixel without padding.
struct StraightImage {
  std::int64_t width = 0;
  std::int64_t height = 0;
  std::vector<std::uint8_t> rgba;
};

// A PNG stream that cannot be decoded; what() names the reason.
class PngDecodeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Decodes a whole PNG stream with libpng: every standard colour type and bit
// depth, palettes and transparency chunks, and interlaced images, into 8-bit
// straight RGBA without gamma correction. Sixteen-bit samples are rounded to
// eight bits. Throws
// PngDecodeError for a malformed stream and for an image with a side above
// `maximumSide` or more than `maximumPixels` pixels (checked before anything
// is inflated).
StraightImage decodePng(std::span<const std::uint8_t> bytes, std::int64_t maximumSide,
                        std::int64_t maximumPixels);

}  // namespace pellucor::simulated
