#include "platform/simulated/window_image.hpp"

#include <algorithm>
#include <cstddef>

namespace pellucor::simulated {

namespace {

std::uint8_t premultiply(std::uint8_t component, std::uint8_t alpha) {
  return static_cast<std::uint8_t>((unsigned{component} * unsigned{alpha} + 127U) / 255U);
}

platform::CapturedImage blankImage(std::int64_t width, std::int64_t height) {
  platform::CapturedImage captured;
  captured.width = width;
  captured.height = height;
  captured.bytesPerRow = static_cast<std::size_t>(width) * 4;
  captured.pixels.resize(captured.bytesPerRow * static_cast<std::size_t>(height));
  return captured;
}

void paint(platform::CapturedImage& captured, std::int64_t x, std::int64_t y, std::int64_t width,
           std::int64_t height, const StraightColor& color) {
  const std::int64_t left = std::clamp<std::int64_t>(x, 0, captured.width);
  const std::int64_t right = std::clamp<std::int64_t>(x + width, 0, captured.width);
  const std::int64_t top = std::clamp<std::int64_t>(y, 0, captured.height);
  const std::int64_t bottom = std::clamp<std::int64_t>(y + height, 0, captured.height);
  const auto pixel = premultipliedBGRA(color);
  for (std::int64_t row = top; row < bottom; ++row) {
    auto* line = captured.pixels.data() + static_cast<std::size_t>(row) * captured.bytesPerRow;
    for (std::int64_t column = left; column < right; ++column) {
      std::copy(pixel.begin(), pixel.end(), line + static_cast<std::size_t>(column) * 4);
    }
  }
}

}  // namespace

std::array<std::uint8_t, 4> premultipliedBGRA(const StraightColor& color) {
  const std::uint8_t alpha = color[3];
  return {premultiply(color[2], alpha), premultiply(color[1], alpha), premultiply(color[0], alpha), alpha};
}

platform::CapturedImage renderWindowImage(const SimulatedImage& image, std::int64_t width, std::int64_t height) {
  if (image.png) {
    platform::CapturedImage captured = blankImage(image.png->width, image.png->height);
    const auto& rgba = image.png->rgba;
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) {
      const auto pixel = premultipliedBGRA({rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]});
      std::copy(pixel.begin(), pixel.end(), captured.pixels.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return captured;
  }
  if (image.size) {
    width = (*image.size)[0];
    height = (*image.size)[1];
  }
  platform::CapturedImage captured = blankImage(width, height);
  paint(captured, 0, 0, width, height, image.fill);
  for (const ImageRectangle& rectangle : image.rectangles) {
    paint(captured, rectangle.x, rectangle.y, rectangle.width, rectangle.height, rectangle.color);
  }
  return captured;
}

}  // namespace pellucor::simulated
