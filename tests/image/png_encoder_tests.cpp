#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "image/image_routines.hpp"
#include "image/png_encoder.hpp"
#include "image/test_images.hpp"

namespace pellucor {
namespace {

using testing::BGRA;
using testing::makeImage;
using testing::setPixel;

// A PNG decoded by libpng into straight RGBA rows, with its header fields.
struct Decoded {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int bitDepth = 0;
  int colourType = 0;
  std::vector<std::uint8_t> rgba;
};

struct ReadState {
  const std::string* png;
  std::size_t offset;
};

// Decodes with libpng, which checks every chunk CRC and the zlib checksum;
// any complaint fails the test through the thrown message.
Decoded decodeWithLibpng(const std::string& png) {
  png_structp reader = png_create_read_struct(
      PNG_LIBPNG_VER_STRING, nullptr,
      [](png_structp, png_const_charp message) { throw std::runtime_error(message); }, nullptr);
  png_infop info = png_create_info_struct(reader);
  ReadState state{&png, 0};
  png_set_read_fn(reader, &state, [](png_structp r, png_bytep out, png_size_t size) {
    auto* s = static_cast<ReadState*>(png_get_io_ptr(r));
    if (s->offset + size > s->png->size()) throw std::runtime_error("PNG truncated");
    std::memcpy(out, s->png->data() + s->offset, size);
    s->offset += size;
  });
  Decoded decoded;
  try {
    png_read_info(reader, info);
    decoded.width = png_get_image_width(reader, info);
    decoded.height = png_get_image_height(reader, info);
    decoded.bitDepth = png_get_bit_depth(reader, info);
    decoded.colourType = png_get_color_type(reader, info);
    if (decoded.colourType == PNG_COLOR_TYPE_RGB) png_set_add_alpha(reader, 0xff, PNG_FILLER_AFTER);
    png_read_update_info(reader, info);
    decoded.rgba.resize(std::size_t{decoded.width} * decoded.height * 4);
    for (std::uint32_t y = 0; y < decoded.height; ++y) {
      png_read_row(reader, &decoded.rgba[std::size_t{y} * decoded.width * 4], nullptr);
    }
    png_read_end(reader, nullptr);
  } catch (...) {
    png_destroy_read_struct(&reader, &info, nullptr);
    throw;
  }
  png_destroy_read_struct(&reader, &info, nullptr);
  return decoded;
}

// What a PNG of `image` must decode to: straight colour rounded to nearest
// (halves up, at most 255), colour 0 where alpha is 0, alpha kept.
std::vector<std::uint8_t> expectedStraightRGBA(const platform::CapturedImage& image) {
  std::vector<std::uint8_t> out;
  for (std::size_t y = 0; y < static_cast<std::size_t>(image.height); ++y) {
    for (std::size_t x = 0; x < static_cast<std::size_t>(image.width); ++x) {
      const std::uint8_t* p = &image.pixels[y * image.bytesPerRow + x * 4];
      const double alpha = p[3];
      for (const int c : {2, 1, 0}) {
        out.push_back(p[3] == 0 ? 0
                                : static_cast<std::uint8_t>(std::min(255.0, std::floor(p[c] * 255.0 / alpha + 0.5))));
      }
      out.push_back(p[3]);
    }
  }
  return out;
}

// Premultiplied pixels from a fixed seed: a smooth pattern with noise, every
// component at most its alpha.
platform::CapturedImage makePattern(std::int64_t width, std::int64_t height, bool translucent, std::uint32_t seed) {
  auto image = makeImage(width, height, {});
  std::mt19937 random(seed);
  for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
    for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
      const unsigned alpha = translucent ? random() % 256 : 255;
      const auto component = [&](unsigned base) {
        return static_cast<std::uint8_t>((base + random() % 16) % 256 * alpha / 255);
      };
      setPixel(image, x, y,
               {component(static_cast<unsigned>(x * 7)), component(static_cast<unsigned>(y * 5)),
                component(static_cast<unsigned>(x + y)), static_cast<std::uint8_t>(alpha)});
    }
  }
  return image;
}

struct RoundTripCase {
  std::string name;
  std::function<platform::CapturedImage()> image;
  int colourType;  // 2: RGB, written when every pixel is opaque; 6: RGBA
};

const RoundTripCase kRoundTrips[] = {
    {"opaque_single_pixel", [] { return makeImage(1, 1, {10, 20, 30, 255}); }, PNG_COLOR_TYPE_RGB},
    {"translucent_single_pixel", [] { return makeImage(1, 1, {10, 20, 30, 40}); }, PNG_COLOR_TYPE_RGB_ALPHA},
    {"transparent_single_pixel", [] { return makeImage(1, 1, {0, 0, 0, 0}); }, PNG_COLOR_TYPE_RGB_ALPHA},
    {"opaque_odd_size", [] { return makePattern(17, 9, false, 1); }, PNG_COLOR_TYPE_RGB},
    {"translucent_odd_size", [] { return makePattern(31, 13, true, 2); }, PNG_COLOR_TYPE_RGB_ALPHA},
    {"one_column", [] { return makePattern(1, 40, true, 3); }, PNG_COLOR_TYPE_RGB_ALPHA},
    {"one_row", [] { return makePattern(300, 1, false, 4); }, PNG_COLOR_TYPE_RGB},
    {"tall_enough_to_probe_in_bands", [] { return makePattern(50, 333, true, 5); }, PNG_COLOR_TYPE_RGB_ALPHA},
    {"opaque_with_one_translucent_pixel_last",
     [] {
       auto image = makePattern(20, 20, false, 6);
       setPixel(image, 19, 19, {1, 2, 3, 254});
       return image;
     },
     PNG_COLOR_TYPE_RGB_ALPHA},
    {"padded_rows", [] { return makeImage(5, 3, {9, 8, 7, 255}, 64); }, PNG_COLOR_TYPE_RGB},
    {"rounding_halves_up",  // 1 * 255 / 2 = 127.5 -> 128; 100 * 255 / 200 = 127.5 -> 128
     [] {
       auto image = makeImage(3, 1, {1, 1, 1, 2});
       setPixel(image, 1, 0, {100, 100, 100, 200});
       setPixel(image, 2, 0, {1, 2, 3, 3});  // 85, 170, 255 exactly
       return image;
     },
     PNG_COLOR_TYPE_RGB_ALPHA},
    {"colour_above_alpha_saturates", [] { return makeImage(2, 2, {129, 255, 200, 128}); }, PNG_COLOR_TYPE_RGB_ALPHA},
    {"colour_under_zero_alpha_becomes_zero", [] { return makeImage(2, 2, {50, 60, 70, 0}); },
     PNG_COLOR_TYPE_RGB_ALPHA},
    {"flat_window_content",
     [] {
       auto image = makeImage(400, 300, {240, 240, 240, 255});
       for (std::size_t y = 20; y < 280; y += 20) {
         for (std::size_t x = 10; x < 390; ++x) setPixel(image, x, y, {30, 30, 30, 255});
       }
       setPixel(image, 0, 0, {0, 0, 0, 0});
       return image;
     },
     PNG_COLOR_TYPE_RGB_ALPHA},
};

class PNGRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(PNGRoundTripTest, DecodesToTheStraightenedCapture) {
  const platform::CapturedImage image = GetParam().image();
  const Decoded decoded = decodeWithLibpng(encodePNG(image));
  EXPECT_EQ(decoded.width, static_cast<std::uint32_t>(image.width));
  EXPECT_EQ(decoded.height, static_cast<std::uint32_t>(image.height));
  EXPECT_EQ(decoded.bitDepth, 8);
  EXPECT_EQ(decoded.colourType, GetParam().colourType);
  EXPECT_EQ(decoded.rgba, expectedStraightRGBA(image));
}

INSTANTIATE_TEST_SUITE_P(Images, PNGRoundTripTest, ::testing::ValuesIn(kRoundTrips),
                         [](const auto& row) { return row.param.name; });

TEST(PNGRoundTripTest, StraightensKnownValuesExactly) {
  const Decoded decoded = decodeWithLibpng(encodePNG(kRoundTrips[10].image()));
  EXPECT_THAT(decoded.rgba, ::testing::ElementsAre(128, 128, 128, 2, 128, 128, 128, 200, 255, 170, 85, 3));
}

// Every filter and level decodes to the same pixels; the settings change only
// speed and size.
TEST(PNGEncoderSettingsTest, EveryFilterAndLevelRoundTrips) {
  const auto translucent = makePattern(23, 11, true, 7);
  const auto opaque = makePattern(19, 7, false, 8);
  for (const PNGRowFilter filter : {PNGRowFilter::none, PNGRowFilter::sub, PNGRowFilter::up, PNGRowFilter::average,
                                    PNGRowFilter::paeth, PNGRowFilter::adaptive}) {
    for (const int level : {0, 1, 6, 12}) {
      SCOPED_TRACE("filter " + std::to_string(static_cast<int>(filter)) + " level " + std::to_string(level));
      for (const auto* image : {&translucent, &opaque}) {
        EXPECT_EQ(decodeWithLibpng(encodePNG(*image, {level, filter})).rgba, expectedStraightRGBA(*image));
      }
    }
  }
}

TEST(PNGEncoderSettingsTest, ProbeTellsWindowContentFromPhotographicContent) {
  auto window = makeImage(600, 400, {250, 250, 250, 255});
  for (std::size_t y = 30; y < 380; y += 14) {
    for (std::size_t x = 20; x < 560; x += 3) setPixel(window, x, y, {40, 40, 40, 255});
  }
  const PNGEncoderSettings windowSettings = choosePNGEncoderSettings(window);
  EXPECT_EQ(windowSettings.compressionLevel, 5);

  const PNGEncoderSettings noiseSettings = choosePNGEncoderSettings(makePattern(600, 400, false, 9));
  EXPECT_EQ(noiseSettings.compressionLevel, 1);
}

// Images whose rows are compressed in several stripes (each stripe is about
// 1 MiB of filtered rows): noise, which libdeflate codes in dynamic blocks,
// and a flat window with a few lines, whose stripes end in short blocks.
struct StripedCase {
  std::string name;
  std::function<platform::CapturedImage()> image;
  PNGEncoderSettings settings;
};

platform::CapturedImage flatWindow(std::int64_t width, std::int64_t height) {
  auto image = makeImage(width, height, {236, 236, 236, 255});
  for (std::size_t y = 20; y < static_cast<std::size_t>(height); y += 37) {
    for (std::size_t x = 5; x < static_cast<std::size_t>(width) - 5; x += 2) setPixel(image, x, y, {20, 60, 90, 255});
  }
  setPixel(image, 0, 0, {0, 0, 0, 0});
  return image;
}

const StripedCase kStripedCases[] = {
    {"translucent_noise_none_level1", [] { return makePattern(601, 1200, true, 11); }, {1, PNGRowFilter::none}},
    {"opaque_noise_sub_level5", [] { return makePattern(700, 1100, false, 12); }, {5, PNGRowFilter::sub}},
    {"opaque_noise_paeth_stored", [] { return makePattern(512, 1500, false, 13); }, {0, PNGRowFilter::paeth}},
    {"flat_window_adaptive_level12", [] { return flatWindow(640, 1500); }, {12, PNGRowFilter::adaptive}},
    {"flat_window_none_level5", [] { return flatWindow(1000, 999); }, {5, PNGRowFilter::none}},
};

class PNGStripedEncodingTest : public ::testing::TestWithParam<StripedCase> {};

TEST_P(PNGStripedEncodingTest, DecodesToTheStraightenedCaptureOnEveryThreadCount) {
  const platform::CapturedImage image = GetParam().image();
  const std::string oneThread = encodePNG(image, GetParam().settings, 1);
  EXPECT_EQ(decodeWithLibpng(oneThread).rgba, expectedStraightRGBA(image));
  for (const unsigned threads : {2u, 3u, 8u}) {
    EXPECT_EQ(encodePNG(image, GetParam().settings, threads), oneThread) << threads << " threads";
  }
}

INSTANTIATE_TEST_SUITE_P(Images, PNGStripedEncodingTest, ::testing::ValuesIn(kStripedCases),
                         [](const auto& row) { return row.param.name; });

TEST(PNGStripedEncodingTest, ChosenSettingsGiveTheSameBytesOnOneThreadAndOnEveryCore) {
  const auto image = flatWindow(900, 1300);
  EXPECT_EQ(encodePNG(image), encodePNG(image, choosePNGEncoderSettings(image), 1));
}

// A stripe that cannot be compressed fails the whole capture, whichever
// thread it fell to.
TEST(PNGStripedEncodingTest, AFailingStripeFailsTheEncoding) {
  const auto image = makePattern(600, 1000, false, 14);
  for (const unsigned threads : {1u, 2u, 4u}) {
    try {
      encodePNG(image, {13, PNGRowFilter::none}, threads);
      FAIL() << "encoding succeeded on " << threads << " threads";
    } catch (const PellucorError& error) {
      EXPECT_EQ(error.code, "png_failed");
      EXPECT_EQ(error.message, "PNG encoder unavailable");
    }
  }
}

// The file's own structure, checked with zlib's CRC rather than the one the
// encoder uses: signature, then exactly IHDR, IDAT, IEND with valid CRCs.
TEST(PNGStructureTest, ChunksAreInOrderWithValidCRCs) {
  const std::string png = encodePNG(makePattern(9, 5, true, 10));
  ASSERT_GE(png.size(), 8u);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  std::vector<std::string> types;
  std::size_t offset = 8;
  const auto bigEndian = [&](std::size_t at) {
    return std::uint32_t{static_cast<std::uint8_t>(png[at])} << 24 |
           std::uint32_t{static_cast<std::uint8_t>(png[at + 1])} << 16 |
           std::uint32_t{static_cast<std::uint8_t>(png[at + 2])} << 8 | static_cast<std::uint8_t>(png[at + 3]);
  };
  while (offset + 12 <= png.size()) {
    const std::uint32_t length = bigEndian(offset);
    ASSERT_LE(offset + 12 + length, png.size());
    types.push_back(png.substr(offset + 4, 4));
    const auto* typeAndData = reinterpret_cast<const Bytef*>(png.data() + offset + 4);
    EXPECT_EQ(crc32(0, typeAndData, length + 4), bigEndian(offset + 8 + length)) << types.back();
    offset += 12 + length;
  }
  EXPECT_EQ(offset, png.size());
  EXPECT_THAT(types, ::testing::ElementsAre("IHDR", "IDAT", "IEND"));
}

struct FailureCase {
  std::string name;
  std::function<std::string()> encode;
  std::string message;
};

const FailureCase kFailures[] = {
    {"no_pixels", [] { return encodePNG(makeImage(0, 0, {})); }, "PNG encoding failed"},
    {"negative_width",
     [] {
       auto image = makeImage(2, 2, {});
       image.width = -2;
       return encodePNG(image);
     },
     "PNG encoding failed"},
    {"buffer_shorter_than_its_rows",
     [] {
       auto image = makeImage(4, 4, {1, 2, 3, 255});
       image.pixels.resize(image.pixels.size() - 1);
       return encodePNG(image);
     },
     "PNG encoding failed"},
    {"rows_narrower_than_their_pixels",
     [] {
       auto image = makeImage(4, 4, {1, 2, 3, 255});
       image.bytesPerRow = 15;
       return encodePNG(image);
     },
     "PNG encoding failed"},
    {"level_libdeflate_lacks", [] { return encodePNG(makeImage(2, 2, {}), {13, PNGRowFilter::none}); },
     "PNG encoder unavailable"},
    {"negative_level", [] { return encodePNG(makeImage(2, 2, {}), {-1, PNGRowFilter::sub}); },
     "PNG encoder unavailable"},
};

class PNGFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(PNGFailureTest, FailsWithPNGFailed) {
  try {
    GetParam().encode();
    FAIL() << "encoding succeeded";
  } catch (const PellucorError& error) {
    EXPECT_EQ(error.code, "png_failed");
    EXPECT_EQ(error.message, GetParam().message);
    EXPECT_FALSE(error.retryable);
  }
}

INSTANTIATE_TEST_SUITE_P(Images, PNGFailureTest, ::testing::ValuesIn(kFailures),
                         [](const auto& row) { return row.param.name; });

}  // namespace
}  // namespace pellucor
