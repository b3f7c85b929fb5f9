#include <gtest/gtest.h>
#include <libdeflate.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>
#include "platform/stop_token.hpp"
#include <string>
#include <vector>

#include "platform/platform_error.hpp"
#include "platform/simulated/png_decoder.hpp"
#include "simulated_desktop_fixture.hpp"

namespace pellucor::simulated {
namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::CaptureConfiguration;
using platform::PlatformValue;
using testing::desktopFrom;

// ---- PNG streams built by hand, so that each colour type, filter and the
// interlacing are decoded from bytes whose meaning the test states. ----

void appendBigEndian32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void appendChunk(Bytes& out, const std::string& type, const Bytes& data) {
  appendBigEndian32(out, static_cast<std::uint32_t>(data.size()));
  Bytes typeAndData(type.begin(), type.end());
  typeAndData.insert(typeAndData.end(), data.begin(), data.end());
  out.insert(out.end(), typeAndData.begin(), typeAndData.end());
  appendBigEndian32(out, libdeflate_crc32(0, typeAndData.data(), typeAndData.size()));
}

Bytes zlibCompress(const Bytes& raw) {
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(6);
  Bytes compressed(libdeflate_zlib_compress_bound(compressor, raw.size()));
  compressed.resize(libdeflate_zlib_compress(compressor, raw.data(), raw.size(), compressed.data(), compressed.size()));
  libdeflate_free_compressor(compressor);
  return compressed;
}

struct PngLayout {
  std::uint32_t width;
  std::uint32_t height;
  std::uint8_t depth;
  std::uint8_t colorType;
  bool interlaced;
  Bytes rawRows;  // every row with its filter byte, as stored before compression
  std::vector<std::pair<std::string, Bytes>> chunksBeforeData;
};

Bytes pngOf(const PngLayout& layout) {
  Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  appendBigEndian32(header, layout.width);
  appendBigEndian32(header, layout.height);
  header.insert(header.end(), {layout.depth, layout.colorType, 0, 0, static_cast<std::uint8_t>(layout.interlaced ? 1 : 0)});
  appendChunk(png, "IHDR", header);
  for (const auto& [type, data] : layout.chunksBeforeData) appendChunk(png, type, data);
  appendChunk(png, "IDAT", zlibCompress(layout.rawRows));
  appendChunk(png, "IEND", {});
  return png;
}

StraightImage decode(const Bytes& png) { return decodePng(png, 16384, std::int64_t{1} << 26); }

std::string refusalOf(const Bytes& png, std::int64_t maximumSide = 16384) {
  try {
    decodePng(png, maximumSide, std::int64_t{1} << 26);
  } catch (const PngDecodeError& error) {
    return error.what();
  }
  return "(decoded)";
}

// A row filtered with `filter` against the row above (all zero for the first
// row), as an encoder would store it.
Bytes filterRow(std::uint8_t filter, const Bytes& row, const Bytes& above, std::size_t pixelBytes) {
  Bytes out{filter};
  for (std::size_t i = 0; i < row.size(); ++i) {
    const int a = i >= pixelBytes ? row[i - pixelBytes] : 0;
    const int b = above.empty() ? 0 : above[i];
    const int c = i >= pixelBytes && !above.empty() ? above[i - pixelBytes] : 0;
    int predictor = 0;
    if (filter == 1) predictor = a;
    if (filter == 2) predictor = b;
    if (filter == 3) predictor = (a + b) / 2;
    if (filter == 4) {
      const int p = a + b - c;
      const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
      predictor = pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
    }
    out.push_back(static_cast<std::uint8_t>(row[i] - predictor));
  }
  return out;
}

TEST(PngDecoding, TruecolourWithAlphaKeepsStraightSamples) {
  const StraightImage image =
      decode(pngOf({2, 1, 8, 6, false, {0, 255, 0, 0, 255, 3, 3, 3, 128}, {}}));
  EXPECT_EQ(image.width, 2);
  EXPECT_EQ(image.height, 1);
  EXPECT_EQ(image.rgba, (Bytes{255, 0, 0, 255, 3, 3, 3, 128}));
}

TEST(PngDecoding, EveryRowFilterIsReversed) {
  const std::vector<Bytes> rows{{10, 20, 30, 200, 100, 50, 7, 7, 7},
                                {11, 22, 33, 190, 110, 40, 250, 1, 128},
                                {0, 255, 0, 255, 0, 255, 1, 2, 3},
                                {90, 80, 70, 60, 50, 40, 30, 20, 10},
                                {5, 6, 7, 8, 9, 10, 11, 12, 13}};
  Bytes raw;
  Bytes above;
  Bytes expected;
  for (std::uint8_t filter = 0; filter < 5; ++filter) {
    const Bytes filtered = filterRow(filter, rows[filter], above, 3);
    raw.insert(raw.end(), filtered.begin(), filtered.end());
    above = rows[filter];
    for (std::size_t i = 0; i < 9; i += 3) expected.insert(expected.end(), {rows[filter][i], rows[filter][i + 1], rows[filter][i + 2], 255});
  }
  EXPECT_EQ(decode(pngOf({3, 5, 8, 2, false, raw, {}})).rgba, expected);
}

TEST(PngDecoding, LowBitDepthGreyIsScaledToEightBits) {
  // Two-bit grey: samples 0, 1, 2, 3 become 0, 85, 170, 255.
  EXPECT_EQ(decode(pngOf({4, 1, 2, 0, false, {0, 0b00011011}, {}})).rgba,
            (Bytes{0, 0, 0, 255, 85, 85, 85, 255, 170, 170, 170, 255, 255, 255, 255, 255}));
}

TEST(PngDecoding, PaletteEntriesTakeTheirTransparency) {
  const Bytes png = pngOf({3, 1, 4, 3, false, {0, 0x01, 0x20},
                           {{"PLTE", {255, 0, 0, 0, 255, 0, 0, 0, 255}}, {"tRNS", {255, 64}}}});
  EXPECT_EQ(decode(png).rgba, (Bytes{255, 0, 0, 255, 0, 255, 0, 64, 0, 0, 255, 255}));
}

TEST(PngDecoding, SixteenBitColourKeyIsTransparentAndSamplesRound) {
  // Two 16-bit RGB pixels; the second equals the colour key.
  const Bytes png = pngOf({2, 1, 16, 2, false, {0, 0x80, 0x80, 0x00, 0x00, 0xFF, 0xFF, 0x12, 0x34, 0x12, 0x34, 0x12, 0x34},
                           {{"tRNS", {0x12, 0x34, 0x12, 0x34, 0x12, 0x34}}}});
  EXPECT_EQ(decode(png).rgba, (Bytes{128, 0, 255, 255, 18, 18, 18, 0}));
}

TEST(PngDecoding, InterlacedPassesLandOnTheirPixels) {
  // A 3 x 3 eight-bit grey image whose pixel (x, y) is 10 * y + x + 1, stored
  // as the seven interlacing passes (passes 2 and 3 are empty at this size).
  const Bytes raw{0, 1,           // pass 1: (0, 0)
                  0, 3,           // pass 4: (2, 0)
                  0, 21, 23,      // pass 5: (0, 2), (2, 2)
                  0, 2,  0, 22,   // pass 6: (1, 0), (1, 2)
                  0, 11, 12, 13}; // pass 7: row 1
  const StraightImage image = decode(pngOf({3, 3, 8, 0, true, raw, {}}));
  Bytes greys;
  for (std::size_t i = 0; i < image.rgba.size(); i += 4) greys.push_back(image.rgba[i]);
  EXPECT_EQ(greys, (Bytes{1, 2, 3, 11, 12, 13, 21, 22, 23}));
}

TEST(PngDecoding, MalformedStreamsAreRefused) {
  const Bytes good = pngOf({1, 1, 8, 0, false, {0, 9}, {}});
  Bytes badChecksum = good;
  badChecksum[30] ^= 1;  // inside the IHDR checksum
  Bytes truncated(good.begin(), good.end() - 12);

  EXPECT_EQ(refusalOf(good), "(decoded)");
  // An unknown ancillary chunk is skipped.
  EXPECT_EQ(refusalOf(pngOf({1, 1, 8, 0, false, {0, 9}, {{"zzZZ", {1}}}})), "(decoded)");

  const struct {
    const char* name;
    Bytes png;
  } kMalformed[] = {
      {"checksum", badChecksum},
      {"truncated", truncated},
      {"unknown critical chunk", pngOf({1, 1, 8, 0, false, {0, 9}, {{"ZZZZ", {}}}})},
      {"image data too short", pngOf({2, 1, 8, 0, false, {0, 9}, {}})},
      {"row filter", pngOf({1, 1, 8, 0, false, {5, 9}, {}})},
      {"colour type", pngOf({1, 1, 8, 1, false, {0, 9}, {}})},
      {"bit depth", pngOf({1, 1, 4, 2, false, {0, 9}, {}})},
      {"no palette", pngOf({1, 1, 8, 3, false, {0, 0}, {}})},
  };
  for (const auto& row : kMalformed) {
    const std::string reason = refusalOf(row.png);
    EXPECT_NE(reason, "(decoded)") << row.name;
    EXPECT_FALSE(reason.empty()) << row.name;
  }

  Bytes noSignature = good;
  noSignature[1] = 'Q';
  EXPECT_EQ(refusalOf(noSignature), "the PNG signature is missing");
  EXPECT_EQ(refusalOf(pngOf({5, 1, 8, 0, false, {0, 1, 2, 3, 4, 5}, {}}), 4), "image of 5 x 1 pixels is too large");
}

// ---- Windows and captures ----

TEST(SimulatedScreen, DescribesWindowsAsTheFileGivesThem) {
  const auto screen = desktopFrom(R"({"screen": {"windows": [
    {"window_id": 42, "owner": {"pid": 501, "bundle_id": "com.brevant.zorvane"}, "title": "Zorvane",
     "frame": [10, 20.5, 1280, 800]},
    {"window_id": 4294967295, "owner": {"pid": 9, "bundle_id": null}, "on_screen": false, "title": null,
     "frame": ["nan", "inf", "-inf", 0], "handle": false},
    {"window_id": 7, "owner": null, "frame": [0, 0, 1, 1]}]}})")
                          ->services()
                          .screenCapture;
  const auto windows = screen->shareableWindows({});
  ASSERT_EQ(windows.size(), 3u);
  EXPECT_EQ(windows[0].windowID, 42u);
  ASSERT_TRUE(windows[0].owner.has_value());
  EXPECT_EQ(windows[0].owner->pid, 501);
  EXPECT_EQ(windows[0].owner->bundleIdentifier, "com.brevant.zorvane");
  EXPECT_TRUE(windows[0].onScreen);
  EXPECT_EQ(windows[0].title, "Zorvane");
  EXPECT_EQ(windows[0].frame, (platform::Rect{10, 20.5, 1280, 800}));
  EXPECT_NE(windows[0].handle, nullptr);

  EXPECT_EQ(windows[1].windowID, 4294967295u);
  EXPECT_EQ(windows[1].owner->bundleIdentifier, std::nullopt);
  EXPECT_FALSE(windows[1].onScreen);
  EXPECT_EQ(windows[1].title, std::nullopt);
  EXPECT_TRUE(std::isnan(windows[1].frame.x));
  EXPECT_EQ(windows[1].frame.y, std::numeric_limits<double>::infinity());
  EXPECT_EQ(windows[1].frame.width, -std::numeric_limits<double>::infinity());
  EXPECT_EQ(windows[1].handle, nullptr);

  EXPECT_FALSE(windows[2].owner.has_value());
}

TEST(SimulatedScreen, ShareableContentFailsWithTheGivenError) {
  const auto screen = desktopFrom(R"({"screen": {"error": "The user declined TCCs"}})")->services().screenCapture;
  try {
    (void)screen->shareableWindows({});
    FAIL() << "no failure";
  } catch (const platform::PlatformError& error) {
    EXPECT_STREQ(error.what(), "The user declined TCCs");
  }
}

CaptureConfiguration sized(std::int64_t width, std::int64_t height) {
  CaptureConfiguration configuration;
  configuration.width = width;
  configuration.height = height;
  return configuration;
}

platform::CapturedImage captureFirstWindow(const std::string& image, const CaptureConfiguration& configuration,
                                           const std::string& baseDirectory = "/") {
  const auto screen =
      desktopFrom(R"({"screen": {"windows": [{"window_id": 1, "frame": [0, 0, 3, 2], "image": )" + image + "}]}}",
                  baseDirectory)
          ->services()
          .screenCapture;
  const auto windows = screen->shareableWindows({});
  return screen->captureImage(windows.at(0).handle, configuration, {});
}

TEST(SimulatedCapture, FillsTheConfiguredSizeWithPremultipliedBGRA) {
  const auto image = captureFirstWindow(R"({"fill": [3, 3, 3, 128]})", sized(2, 1));
  EXPECT_EQ(image.width, 2);
  EXPECT_EQ(image.height, 1);
  EXPECT_EQ(image.bytesPerRow, 8u);
  EXPECT_EQ(image.pixels, (Bytes{2, 2, 2, 128, 2, 2, 2, 128}));
}

TEST(SimulatedCapture, PaintsRectanglesInOrderClippedToTheImage) {
  const auto image = captureFirstWindow(R"({"fill": [0, 0, 0, 255], "size": [3, 2], "rects": [
      {"x": -1, "y": 1, "w": 3, "h": 5, "color": [255, 10, 20, 255]},
      {"x": 1, "y": 1, "w": 1, "h": 1, "color": [200, 100, 50, 0]},
      {"x": 2, "y": 0, "w": 1, "h": 1, "color": [255, 255, 255, 51]}]})",
                                        sized(100, 100));
  EXPECT_EQ(image.width, 3);
  EXPECT_EQ(image.height, 2);
  EXPECT_EQ(image.pixels, (Bytes{0, 0, 0, 255, 0, 0, 0, 255, 51, 51, 51, 51,  //
                                 20, 10, 255, 255, 0, 0, 0, 0, 0, 0, 0, 255}));
}

TEST(SimulatedCapture, SizeZeroIsAnEmptyImageAndTheDefaultIsOpaqueWhite) {
  const auto empty = captureFirstWindow(R"({"size": [0, 0]})", sized(10, 10));
  EXPECT_EQ(empty.width, 0);
  EXPECT_EQ(empty.height, 0);
  EXPECT_TRUE(empty.pixels.empty());
  const auto white = captureFirstWindow("{}", sized(1, 1));
  EXPECT_EQ(white.pixels, (Bytes{255, 255, 255, 255}));
  // Without a configured size the window's frame (3 x 2) gives it.
  EXPECT_EQ(captureFirstWindow("{}", {}).pixels.size(), 24u);
}

TEST(SimulatedCapture, APngReplacesEverythingAtItsOwnSize) {
  const std::string directory = ::testing::TempDir();
  {
    const Bytes png = pngOf({1, 2, 8, 6, false, {0, 255, 0, 0, 255, 0, 3, 3, 3, 128}, {}});
    std::ofstream out(directory + "/window.png", std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  }
  const auto image = captureFirstWindow(R"({"png": "window.png", "fill": [0, 0, 0, 255], "size": [5, 5]})",
                                        sized(8, 8), directory);
  EXPECT_EQ(image.width, 1);
  EXPECT_EQ(image.height, 2);
  EXPECT_EQ(image.pixels, (Bytes{0, 0, 255, 255, 2, 2, 2, 128}));
}

TEST(SimulatedCapture, FailsWithTheWindowsCaptureErrorOrAnImpossibleSize) {
  const auto screen = desktopFrom(R"({"screen": {"windows": [
    {"window_id": 1, "frame": [0, 0, 10, 10], "capture_error": "stream failed"},
    {"window_id": 2, "frame": [0, 0, 10, 10]}]}})")
                          ->services()
                          .screenCapture;
  const auto windows = screen->shareableWindows({});
  const auto failureOf = [&](std::size_t index, const CaptureConfiguration& configuration) -> std::string {
    try {
      (void)screen->captureImage(windows.at(index).handle, configuration, {});
    } catch (const platform::PlatformError& error) {
      return error.what();
    }
    return "(captured)";
  };
  EXPECT_EQ(failureOf(0, sized(10, 10)), "stream failed");
  EXPECT_EQ(failureOf(1, sized(-1, 10)), "the capture size -1 x 10 is beyond what the simulated display can deliver");
  EXPECT_EQ(failureOf(1, sized(16385, 1)),
            "the capture size 16385 x 1 is beyond what the simulated display can deliver");
  EXPECT_EQ(failureOf(1, sized(16384, 16384)),
            "the capture size 16384 x 16384 is beyond what the simulated display can deliver");
  EXPECT_THROW((void)screen->captureImage(nullptr, sized(1, 1), {}), platform::PlatformError);
}

TEST(SimulatedLegacyWindowList, IsAListOfTypedDictionariesInFileOrder) {
  const auto screen = desktopFrom(R"({"legacy_window_list": [
    {"kCGWindowOwnerPID": 501, "kCGWindowNumber": 42, "kCGWindowSharingState": 1, "kCGWindowName": "Zorvane"},
    {"kCGWindowOwnerPID": {"number": 501.5}}]})")
                          ->services()
                          .screenCapture;
  const auto list = screen->windowList(17, 0);
  ASSERT_TRUE(list.has_value());
  ASSERT_EQ(list->kind, PlatformValue::Kind::list);
  ASSERT_EQ(list->list.size(), 2u);
  const PlatformValue& first = list->list[0];
  ASSERT_EQ(first.kind, PlatformValue::Kind::dictionary);
  ASSERT_EQ(first.dictionary.size(), 4u);
  EXPECT_EQ(first.dictionary[0].first, "kCGWindowOwnerPID");
  EXPECT_EQ(first.dictionary[3].first, "kCGWindowName");
  EXPECT_EQ(first.entry("kCGWindowNumber")->integer, 42);
  EXPECT_EQ(first.entry("kCGWindowName")->kind, PlatformValue::Kind::text);
  EXPECT_EQ(list->list[1].entry("kCGWindowOwnerPID")->kind, PlatformValue::Kind::floating);

  EXPECT_FALSE(desktopFrom("{}")->services().screenCapture->windowList(17, 0).has_value());
  EXPECT_FALSE(desktopFrom(R"({"legacy_window_list": null})")->services().screenCapture->windowList(17, 0));
}

// ---- Delays (the only tests here that sleep) ----

TEST(SimulatedDelays, AnAsynchronousCallSleepsOnTheCallingThreadBeforeAnswering) {
  const auto screen = desktopFrom(R"({"delays_ms": {"shareable_content": 80}})")->services().screenCapture;
  const auto start = std::chrono::steady_clock::now();
  (void)screen->shareableWindows({});
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(80));
}

TEST(SimulatedDelays, AStopRequestEndsTheSleepOfAnAsynchronousCall) {
  // A stop that did not end the sleep would hold this test for ten minutes.
  const auto screen = desktopFrom(R"({"delays_ms": {"capture": 600000},
    "screen": {"windows": [{"window_id": 3, "frame": [0, 0, 1, 1]}]}})")
                          ->services()
                          .screenCapture;
  const auto windows = screen->shareableWindows({});
  platform::StopSource stop;
  stop.requestStop();
  EXPECT_EQ(screen->captureImage(windows.at(0).handle, sized(1, 1), stop.token()).pixels.size(), 4u);
}

}  // namespace
}  // namespace pellucor::simulated
