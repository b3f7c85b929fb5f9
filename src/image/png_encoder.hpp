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

// The settings encodePNG(image) uses for `image`. A probe compresses eight
// bands of sixteen rows, spread over the height, at level 1, unfiltered and
// with the Sub filter; the smaller result picks the filter, and its
// compressed-to-raw ratio picks the level: 5 for window content (flat panels
// and text, which compress to at most a tenth), 1 for photographic content,
// which higher levels compress several times slower for a few percent. On
// rendered window content unfiltered rows compress best and fastest, and
// photographs favour Sub; the figures come from
// bench/image_pipeline_bench.cpp. Fails as encodePNG does.
PNGEncoderSettings choosePNGEncoderSettings(const platform::CapturedImage& image);

// encodePNG with explicit settings; fails as encodePNG does, and with
// "PNG encoder unavailable" for a level libdeflate does not offer.
std::string encodePNG(const platform::CapturedImage& image, const PNGEncoderSettings& settings);

// The same on at most `threads` threads (0 counts as 1) rather than one per
// core: the bytes are the same for every number of threads.
std::string encodePNG(const platform::CapturedImage& image, const PNGEncoderSettings& settings, unsigned threads);

}  // namespace pellucor
