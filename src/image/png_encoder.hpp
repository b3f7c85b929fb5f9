#pragma once

#include <string>

#include "image/image_routines.hpp"

namespace pellucor {

// How each row is predicted before compression. Every choice decodes to the
// same pixels; they differ only in speed and size.
enum class PNGRowFilter {
  none,      // the bytes as they are
  sub,       // difference to the pixel on the left
  up,        // difference to the pixel above
  average,   // difference to the mean of left and above
  paeth,     // difference to the Paeth predictor of left, above, upper left
  adaptive,  // per row, the filter whose bytes have the smallest absolute sum
};

struct PNGEncoderSettings {
  // libdeflate's compression level, 0 (stored) to 12.
  int compressionLevel = 0;
  PNGRowFilter rowFilter = PNGRowFilter::none;
};

// The settings encodePNG(image) uses for `image`. A probe compresses every
// sixteenth band of eight rows quickly, unfiltered and with the Sub filter;
// the smaller result picks the filter, and its compressed-to-raw ratio picks
// the level: 6 for window content (flat panels, text; at most 10 %), 1 for
// photographic content, which level 6 would compress ten times slower for
// a few percent. The figures behind these choices come from
// bench/image_pipeline_bench.cpp on rendered window content. Fails as
// encodePNG does.
PNGEncoderSettings choosePNGEncoderSettings(const platform::CapturedImage& image);

// encodePNG with explicit settings; fails as encodePNG does, and with
// "PNG encoder unavailable" for a level libdeflate does not offer.
std::string encodePNG(const platform::CapturedImage& image, const PNGEncoderSettings& settings);

}  // namespace pellucor
