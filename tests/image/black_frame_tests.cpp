#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "image/image_routines.hpp"
#include "image/test_images.hpp"

namespace pellucor {
namespace {

using testing::BGRA;
using testing::makeImage;
using testing::setPixel;

constexpr BGRA kBlack{0, 0, 0, 255};
constexpr BGRA kWhite{255, 255, 255, 255};

// A black image with one pixel `pixel` at (x, y).
std::function<platform::CapturedImage()> blackWith(std::int64_t width, std::int64_t height, std::size_t x,
                                                   std::size_t y, BGRA pixel) {
  return [=] {
    auto image = makeImage(width, height, kBlack);
    setPixel(image, x, y, pixel);
    return image;
  };
}

struct BlackFrameCase {
  std::string name;
  std::function<platform::CapturedImage()> image;
  bool refused;
};

// The image is sampled at the pixel nearest to each cell centre of a grid of
// at most 64 by 64 cells: on a 128-pixel side the samples sit on the odd
// coordinates, on a 1024-pixel side at 8, 24, ..., 1016.
const BlackFrameCase kCases[] = {
    {"all_black", [] { return makeImage(100, 60, kBlack); }, true},
    {"every_component_two", [] { return makeImage(100, 60, {2, 2, 2, 255}); }, true},
    {"one_red_three_in_small_image", blackWith(64, 64, 63, 0, {0, 0, 3, 255}), false},
    {"one_green_three_sampled_in_large_image", blackWith(128, 128, 1, 127, {0, 3, 0, 255}), false},
    {"one_blue_three_sampled_in_large_image", blackWith(128, 128, 127, 63, {3, 0, 0, 255}), false},
    {"bright_corner_between_samples_is_missed", blackWith(1024, 1024, 0, 0, kWhite), true},
    {"bright_pixel_beside_a_sample_is_missed", blackWith(1024, 1024, 1017, 1016, kWhite), true},
    {"bright_pixel_on_a_sample", blackWith(1024, 1024, 1016, 1016, kWhite), false},
    {"transparent_frame_of_any_colour", [] { return makeImage(80, 80, {255, 255, 255, 0}); }, true},
    {"faint_colour_on_half_alpha_is_dark",  // straight (3, 3, 3) at alpha 128
     [] { return makeImage(80, 80, {1, 1, 1, 128}); }, true},
    {"bright_colour_on_half_alpha", [] { return makeImage(80, 80, {0, 0, 100, 128}); }, false},
    {"single_bright_pixel_image", [] { return makeImage(1, 1, {0, 0, 200, 255}); }, false},
    {"single_dark_pixel_image", [] { return makeImage(1, 1, {2, 1, 0, 255}); }, true},
    {"no_pixels", [] { return makeImage(0, 0, kBlack); }, true},
    {"no_width", [] { return makeImage(0, 5, kBlack); }, true},
    {"negative_height",
     [] {
       auto image = makeImage(4, 4, {255, 255, 255, 255});
       image.height = -4;
       return image;
     },
     true},
    {"buffer_shorter_than_its_rows",
     [] {
       auto image = makeImage(8, 8, {255, 255, 255, 255});
       image.pixels.pop_back();
       return image;
     },
     true},
    {"rows_narrower_than_their_pixels",
     [] {
       auto image = makeImage(8, 8, {255, 255, 255, 255});
       image.bytesPerRow = 28;
       return image;
     },
     true},
    {"sizes_beyond_memory",
     [] {
       auto image = makeImage(2, 2, {255, 255, 255, 255});
       image.width = std::int64_t{1} << 62;
       image.height = std::int64_t{1} << 62;
       image.bytesPerRow = std::size_t{1} << 63;
       return image;
     },
     true},
    {"row_padding_is_not_a_pixel",
     [] { return makeImage(3, 3, kBlack, 16); },  // padding bytes 0xEE
     true},
    {"bright_pixel_in_padded_rows",
     [] {
       auto image = makeImage(3, 3, kBlack, 16);
       setPixel(image, 2, 2, {0, 9, 0, 255});
       return image;
     },
     false},
};

class BlackFrameTest : public ::testing::TestWithParam<BlackFrameCase> {};

TEST_P(BlackFrameTest, RefusesExactlyTheEmptyOrDarkFrames) {
  EXPECT_EQ(isEmptyOrBlack(GetParam().image()), GetParam().refused);
}

INSTANTIATE_TEST_SUITE_P(Frames, BlackFrameTest, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return row.param.name; });

}  // namespace
}  // namespace pellucor
