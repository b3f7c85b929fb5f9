#include "native/window_capture.hpp"

#include <openssl/evp.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "driver/request_executor.hpp"
#include "native/error_outcome.hpp"
#include "native/system_screen_window_access.hpp"
#include "platform/platform_error.hpp"
#include "support/fake_clock.hpp"
#include "support/fake_screen_capture.hpp"
#include "target_fixture.hpp"

namespace pellucor {
namespace {

using testing::failureOf;
using testing::FakeScreenCapture;
using testing::focusedSnapshot;
using testing::hostTarget;
using testing::reads;
using testing::ScriptedReader;

constexpr platform::Rect kFocusedFrame{100, 200, 1280.9, 800.2};
constexpr platform::Rect kOtherFrame{700, 300, 640, 480};

// An opaque image of one colour, given as blue, green, red.
platform::CapturedImage solidImage(std::int64_t width, std::int64_t height, std::uint8_t blue, std::uint8_t green,
                                   std::uint8_t red) {
  platform::CapturedImage image{width, height, static_cast<std::size_t>(width) * 4, {}};
  for (std::int64_t pixel = 0; pixel < width * height; ++pixel) {
    image.pixels.insert(image.pixels.end(), {blue, green, red, 0xFF});
  }
  return image;
}

std::string decodeBase64(const std::string& text) {
  std::string bytes(text.size() / 4 * 3, '\0');
  const int decoded = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                      reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
  if (decoded < 0) return "not Base64";
  const std::size_t padding = text.ends_with("==") ? 2 : text.ends_with("=") ? 1 : 0;
  bytes.resize(static_cast<std::size_t>(decoded) - padding);
  return bytes;
}

// The SHA-256 of the PNG the encoder makes for solidImage(64, 32, 0x20, 0x80,
// 0xF0), 119 bytes, as sha256sum computed it from the decoded png_base64.
constexpr char kSolidPngDigest[] = "9b6c4f9fe0ff9c3f457f011b171e78ff49696c298ebaafb0e29a1ecf4e1dd088";

class CaptureWindowTest : public ::testing::Test {
 protected:
  CaptureWindowTest() {
    screen->windows = {FakeScreenCapture::window(41, 501, "com.brevant.zorvane", "Zorvane", kOtherFrame),
                       FakeScreenCapture::window(42, 501, "com.brevant.zorvane", "Zorvane", kFocusedFrame)};
    screen->image = solidImage(64, 32, 0x20, 0x80, 0xF0);
  }

  // The focused window as the two validations read it, in turn.
  void focus(std::vector<ScriptedReader::Step> steps) { reader = std::make_shared<ScriptedReader>(std::move(steps)); }

  NativeExecution capture(const Target& target, double seconds = 7) {
    return testing::hostOperations(reader, nullptr, access)->captureWindow(target, clock.deadline(seconds));
  }

  testing::DeadlineClock clock;
  std::shared_ptr<FakeScreenCapture> screen = std::make_shared<FakeScreenCapture>();
  std::shared_ptr<ScreenWindowAccessing> access = std::make_shared<SystemScreenWindowAccess>(screen);
  std::shared_ptr<ScriptedReader> reader =
      std::make_shared<ScriptedReader>(std::vector{reads(focusedSnapshot(kFocusedFrame))});
};

TEST_F(CaptureWindowTest, CapturesExactlyTheMatchedWindow) {
  const NativeExecution execution = capture(hostTarget(42));

  const auto captures = screen->captures();
  ASSERT_EQ(captures.size(), 1u);
  EXPECT_EQ(captures[0].window, screen->windows[1].handle);
  const platform::CaptureConfiguration& configuration = captures[0].configuration;
  EXPECT_EQ(configuration.width, 1280);
  EXPECT_EQ(configuration.height, 800);
  EXPECT_EQ(configuration.showsCursor, false);
  EXPECT_EQ(configuration.captureResolution, 1);
  EXPECT_EQ(configuration.pixelFormat, 0x42475241u);
  EXPECT_EQ(reader->reads(), 2u);

  const JSONValue& result = execution.result;
  ASSERT_TRUE(result.isObject());
  EXPECT_EQ(result.asObject().size(), 5u);
  EXPECT_EQ(result.find("window_id")->asInteger(), 42);
  EXPECT_EQ(result.find("width")->asInteger(), 64) << "the width is the captured image's, not the frame's";
  EXPECT_EQ(result.find("height")->asInteger(), 32);
  const std::string png = decodeBase64(result.find("png_base64")->asString());
  EXPECT_TRUE(png.starts_with("\x89PNG\r\n\x1a\n"));
  EXPECT_EQ(png.size(), 119u);
  EXPECT_EQ(result.find("png_sha256")->asString(), kSolidPngDigest);
  EXPECT_EQ(execution.observation.windowID, 42u);
  EXPECT_EQ(execution.observation.pid, 501);
}

TEST_F(CaptureWindowTest, RefusesATargetWithoutWindowBeforeAskingAnything) {
  EXPECT_EQ(failureOf([&] { capture(hostTarget()); }),
            "window_required / capture requires exact window_id");
  EXPECT_EQ(reader->reads(), 0u);
  EXPECT_TRUE(screen->captures().empty());
}

struct FrameSizeCase {
  const char* name;
  platform::Rect frame;
  std::int64_t capturedWidth;  // 0: refused with "invalid_frame_size"
  std::int64_t capturedHeight;
};

class CaptureFrameSizeTest : public CaptureWindowTest, public ::testing::WithParamInterface<FrameSizeCase> {};

TEST_P(CaptureFrameSizeTest, AcceptsOneToEightThousandOneHundredNinetyTwoPointsEachWay) {
  const FrameSizeCase& c = GetParam();
  screen->windows = {FakeScreenCapture::window(42, 501, "com.brevant.zorvane", "Zorvane", c.frame)};
  focus({reads(focusedSnapshot(c.frame))});
  const std::string outcome = failureOf([&] { capture(hostTarget(42)); });
  if (c.capturedWidth == 0) {
    EXPECT_EQ(outcome, "invalid_frame_size / target frame dimensions are outside bounds");
    EXPECT_TRUE(screen->captures().empty());
    return;
  }
  ASSERT_EQ(outcome, "succeeded");
  ASSERT_EQ(screen->captures().size(), 1u);
  EXPECT_EQ(screen->captures()[0].configuration.width, c.capturedWidth);
  EXPECT_EQ(screen->captures()[0].configuration.height, c.capturedHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, CaptureFrameSizeTest,
    ::testing::Values(FrameSizeCase{"Widest", {0, 0, 8192, 600}, 8192, 600},
                      FrameSizeCase{"WidestWithFraction", {0, 0, 8192.9, 600}, 8192, 600},
                      FrameSizeCase{"TooWide", {0, 0, 8193, 600}, 0, 0},
                      FrameSizeCase{"TallestAndNarrowest", {0, 0, 1, 8192}, 1, 8192},
                      FrameSizeCase{"TooTall", {0, 0, 800, 8193}, 0, 0},
                      FrameSizeCase{"HalfAPointWide", {0, 0, 0.5, 600}, 0, 0},
                      FrameSizeCase{"Vast", {0, 0, 1e300, 600}, 0, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(CaptureWindowTest, FocusMovingBetweenTheValidationsIsRefused) {
  focus({reads(focusedSnapshot(kFocusedFrame)), reads(focusedSnapshot(kOtherFrame))});
  EXPECT_EQ(failureOf([&] { capture(hostTarget(42)); }),
            "focused_window_changed / focused Plugin application window identity changed before capture");
  EXPECT_TRUE(screen->captures().empty());

  focus({reads(focusedSnapshot(kFocusedFrame)), reads(focusedSnapshot({0, 0, 300, 300}))});
  EXPECT_EQ(failureOf([&] { capture(hostTarget(42)); }),
            "focused_window_not_found / focused Plugin application AX window does not uniquely match one "
            "ScreenCaptureKit window");

  focus({reads(focusedSnapshot(kFocusedFrame)), reads(focusedSnapshot(kFocusedFrame, "Zorvane Dev"))});
  EXPECT_EQ(failureOf([&] { capture(hostTarget(42)); }),
            "wrong_window_title / focused AX window title differs from the release product");
  EXPECT_TRUE(screen->captures().empty());
}

TEST_F(CaptureWindowTest, TheFirstMatchEnforcesTheRequestedWindow) {
  EXPECT_EQ(failureOf([&] { capture(hostTarget(41)); }),
            "focused_window_id_mismatch / requested window_id differs from the verified focused Plugin application "
            "window");
  EXPECT_EQ(reader->reads(), 1u);
}

TEST_F(CaptureWindowTest, RefusesEmptyAndBlackFrames) {
  const platform::CapturedImage refused[] = {solidImage(64, 32, 2, 2, 2), platform::CapturedImage{0, 0, 0, {}},
                                              platform::CapturedImage{64, 0, 256, {}}};
  for (const platform::CapturedImage& image : refused) {
    screen->image = image;
    EXPECT_EQ(failureOf([&] { capture(hostTarget(42)); }),
              "empty_or_black_frame / exact-window capture returned empty or black pixels")
        << image.width << " by " << image.height;
  }
}

TEST_F(CaptureWindowTest, RefusesAWindowWithoutPlatformHandle) {
  screen->windows[1].handle = nullptr;
  EXPECT_EQ(failureOf([&] { capture(hostTarget(42)); }),
            "window_handle_missing / verified ScreenCaptureKit window handle is absent");
}

class AcceptingIdentity final : public ProcessIdentityValidating {
 public:
  void validateSelfAndAncestry() override {}
};

TEST_F(CaptureWindowTest, APlatformFailureOfTheCaptureStaysAPlatformError) {
  screen->captureError = "screen recording denied";
  EXPECT_THROW(capture(hostTarget(42)), platform::PlatformError);

  AcceptingIdentity identity;
  const auto operations = testing::hostOperations(reader, nullptr, access);
  testing::FakeClock executorClock;
  Request request;
  request.operation = PellucorOperation::captureTargetWindow;
  request.target = hostTarget(42);
  const Response response = RequestExecutor(identity, *operations, executorClock).execute(request);
  ASSERT_TRUE(response.error.has_value());
  EXPECT_EQ(response.error->code, "operation_failed");
  EXPECT_EQ(response.error->message, "native operation failed closed");
}

// The one test here that waits in real time: the bounded wait sleeps for the
// time left on the deadline's clock.
TEST_F(CaptureWindowTest, ACaptureSlowerThanTheDeadlineTimesOut) {
  screen->captureDelay = std::chrono::seconds(20);
  EXPECT_EQ(failureOf([&] { capture(hostTarget(42), 0.05); }),
            "operation_timeout / native async operation exceeded its monotonic deadline");
}

TEST_F(CaptureWindowTest, TheDeadlinePassingDuringTheCaptureDiscardsTheImage) {
  screen->onCapture = [clock = clock] { clock.advance(7'000'000'000); };
  EXPECT_EQ(failureOf([&] { capture(hostTarget(42)); }),
            "operation_timeout / operation exceeded its monotonic deadline");
}

TEST_F(CaptureWindowTest, RefusesAPNGAboveTwelveMebibytes) {
  // Noise with an alpha channel does not compress: about 15 MB of PNG.
  constexpr std::int64_t kWidth = 2400;
  constexpr std::int64_t kHeight = 1600;
  platform::CapturedImage noise{kWidth, kHeight, kWidth * 4, {}};
  noise.pixels.resize(static_cast<std::size_t>(kWidth * kHeight * 4));
  std::mt19937 random(7);
  for (std::size_t pixel = 0; pixel < noise.pixels.size(); pixel += 4) {
    const auto alpha = static_cast<std::uint8_t>(1 + random() % 255);
    for (std::size_t component = 0; component < 3; ++component) {
      noise.pixels[pixel + component] = static_cast<std::uint8_t>(random() % (alpha + 1u));
    }
    noise.pixels[pixel + 3] = alpha;
  }
  screen->image = std::move(noise);
  EXPECT_EQ(failureOf([&] { capture(hostTarget(42)); }),
            "png_too_large / PNG exceeds 12 MiB");
}

struct DigestCase {
  const char* name;
  platform::CapturedImage image;
  std::size_t pngSize;
  const char* digest;  // sha256sum of the decoded png_base64, written down
};

// The digest is checked against values computed by another tool, not by the
// digest routine the capture itself uses.
TEST_F(CaptureWindowTest, DigestIsTheSHA256OfTheReturnedPNG) {
  platform::CapturedImage translucent{2, 2, 8, {}};
  translucent.pixels = {0x10, 0x20, 0x40, 0x80, 0x00, 0x00, 0x00, 0x00,
                        0x30, 0x30, 0x30, 0xFF, 0x7F, 0x00, 0x7F, 0x7F};
  const DigestCase cases[] = {
      {"opaque", solidImage(64, 32, 0x20, 0x80, 0xF0), 119, kSolidPngDigest},
      {"translucent", translucent, 86, "5a4b3471ad168c1f080779595a38c4c24caa9c423b9bde7ddf6f22176e63f43d"},
  };
  for (const DigestCase& c : cases) {
    screen->image = c.image;
    const JSONValue result = capture(hostTarget(42)).result;
    const std::string png = decodeBase64(result.find("png_base64")->asString());
    EXPECT_EQ(png.size(), c.pngSize) << c.name;
    EXPECT_EQ(result.find("png_sha256")->asString(), c.digest) << c.name;
  }
}

}  // namespace
}  // namespace pellucor
