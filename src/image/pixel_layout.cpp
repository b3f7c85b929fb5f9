#include "image/pixel_layout.hpp"

#include <cstdint>
#include <limits>

namespace pellucor {

std::optional<PixelLayout> pixelLayout(const platform::CapturedImage& image) noexcept {
  if (image.width < 1 || image.height < 1) return std::nullopt;
  constexpr auto kLargest = std::numeric_limits<std::size_t>::max();
  const auto width = static_cast<std::uint64_t>(image.width);
  const auto height = static_cast<std::uint64_t>(image.height);
  if (width > kLargest / 4 || height > kLargest) return std::nullopt;
  const PixelLayout layout{static_cast<std::size_t>(width), static_cast<std::size_t>(height), image.bytesPerRow};
  if (layout.bytesPerRow < layout.width * 4) return std::nullopt;
  if (layout.height > kLargest / layout.bytesPerRow) return std::nullopt;
  if (image.pixels.size() < layout.height * layout.bytesPerRow) return std::nullopt;
  return layout;
}

}  // namespace pellucor
