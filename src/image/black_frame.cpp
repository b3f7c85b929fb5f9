#include <algorithm>
#include <cstdint>

#include "image/image_routines.hpp"
#include "image/pixel_layout.hpp"

namespace pellucor {
namespace {

// The sample grid is at most this many cells wide and high.
constexpr std::size_t kSampleSide = 64;
// A colour component at or below this value counts as dark.
constexpr std::uint8_t kDarkestVisible = 2;

// The source index nearest to the centre of cell `cell` when `size` pixels are
// spread over `cells` cells (cell < cells <= 64): floor((cell + 0.5) * size /
// cells). The product is split on the quotient and remainder of size / (2 *
// cells) so that no step can overflow, whatever the size.
std::size_t nearestSource(std::size_t cell, std::size_t cells, std::size_t size) noexcept {
  const std::size_t odd = 2 * cell + 1;
  const std::size_t twice = 2 * cells;
  return odd * (size / twice) + odd * (size % twice) / twice;
}

}  // namespace

bool isEmptyOrBlack(const platform::CapturedImage& image) noexcept {
  const auto layout = pixelLayout(image);
  if (!layout) return true;
  const std::size_t columns = std::min(layout->width, kSampleSide);
  const std::size_t rows = std::min(layout->height, kSampleSide);
  for (std::size_t row = 0; row < rows; ++row) {
    const std::uint8_t* line = image.pixels.data() + nearestSource(row, rows, layout->height) * layout->bytesPerRow;
    for (std::size_t column = 0; column < columns; ++column) {
      // Bytes blue, green, red, alpha; colour already premultiplied.
      const std::uint8_t* pixel = line + 4 * nearestSource(column, columns, layout->width);
      if (pixel[3] != 0 && std::max({pixel[0], pixel[1], pixel[2]}) > kDarkestVisible) return false;
    }
  }
  return true;
}

}  // namespace pellucor
