#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/screen_capture.hpp"

namespace pellucor::testing {

// One pixel as the platform hands it over: premultiplied blue, green, red,
// alpha.
struct BGRA {
  std::uint8_t blue = 0;
  std::uint8_t green = 0;
  std::uint8_t red = 0;
  std::uint8_t alpha = 255;
};

// A `width` by `height` image filled with `fill`, rows `bytesPerRow` apart
// (4 * width when 0); padding bytes are 0xEE so that reading them shows.
inline platform::CapturedImage makeImage(std::int64_t width, std::int64_t height, BGRA fill,
                                         std::size_t bytesPerRow = 0) {
  platform::CapturedImage image;
  image.width = width;
  image.height = height;
  image.bytesPerRow = bytesPerRow != 0 ? bytesPerRow : static_cast<std::size_t>(width) * 4;
  image.pixels.assign(image.bytesPerRow * static_cast<std::size_t>(height), 0xEE);
  for (std::int64_t y = 0; y < height; ++y) {
    for (std::int64_t x = 0; x < width; ++x) {
      std::uint8_t* p = &image.pixels[static_cast<std::size_t>(y) * image.bytesPerRow + static_cast<std::size_t>(x) * 4];
      p[0] = fill.blue;
      p[1] = fill.green;
      p[2] = fill.red;
      p[3] = fill.alpha;
    }
  }
  return image;
}

inline void setPixel(platform::CapturedImage& image, std::size_t x, std::size_t y, BGRA pixel) {
  std::uint8_t* p = &image.pixels[y * image.bytesPerRow + x * 4];
  p[0] = pixel.blue;
  p[1] = pixel.green;
  p[2] = pixel.red;
  p[3] = pixel.alpha;
}

}  // namespace pellucor::testing
