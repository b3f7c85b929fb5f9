#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreGraphics.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/macos/cf_ref.hpp"
#include "platform/macos/screen_capture_macos.hpp"
#include "platform/macos/workspace_macos.hpp"
#include "platform/platform_error.hpp"
#include "platform/stop_token.hpp"

namespace pellucor::platform::macos {
namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- The workspace and the legacy window list, which need no permission. ----

TEST(MacWorkspaceTest, FrontmostApplicationOfALoggedInSessionHasAProcess) {
  const std::optional<RunningApplication> frontmost = MacWorkspace().frontmostApplication();
  ASSERT_TRUE(frontmost.has_value()) << "a logged-in session always has a frontmost application";
  EXPECT_GT(frontmost->pid, 0);
}

TEST(MacScreenCaptureTest, OnScreenLegacyWindowListIsAListOfDictionaries) {
  const std::optional<PlatformValue> list = MacScreenCapture().windowList(kWindowListOnScreenOnly, 0);
  ASSERT_TRUE(list.has_value());
  ASSERT_EQ(list->kind, PlatformValue::Kind::list);
  EXPECT_FALSE(list->list.empty()) << "a logged-in session shows at least the menu bar and the Dock";
  for (const PlatformValue& entry : list->list) EXPECT_EQ(entry.kind, PlatformValue::Kind::dictionary);
}

// ---- Calls refused before ScreenCaptureKit is asked. ----

class ForeignObject final : public PlatformObject {};

TEST(MacScreenCaptureTest, CaptureRefusesAHandleItDidNotMake) {
  const std::vector<std::pair<std::string, PlatformHandle>> handles = {
      {"null handle", nullptr},
      {"another service's handle", std::make_shared<const ForeignObject>()},
  };
  for (const auto& [name, handle] : handles) {
    SCOPED_TRACE(name);
    EXPECT_THROW(MacScreenCapture().captureImage(handle, CaptureConfiguration{}, StopToken{}), PlatformError);
  }
}

TEST(MacScreenCaptureTest, StopAskedForBeforeTheCallFailsAtOnce) {
  const StopSource source;
  source.requestStop();
  EXPECT_THROW(MacScreenCapture().shareableWindows(source.token()), PlatformError);
}

// ---- ScreenCaptureKit against the live system. ----

// Longest wait for ScreenCaptureKit's answer before the test gives up and
// skips: its completion handlers can stay silent when the capture service is
// stuck. Not a measurement; a bound so that the suite never hangs.
constexpr auto kAnswerBound = std::chrono::seconds(30);

// SCStreamErrorUserDeclined: the Screen Recording permission is missing.
constexpr std::int64_t kUserDeclinedStatus = -3801;

// The outcome of one call against the live system.
template <typename T>
struct LiveOutcome {
  std::optional<T> value;
  std::optional<PlatformError> failure;
  bool answered = false;  // false when the call was stopped for want of an answer
};

// Runs `call` on a worker thread, as the helper does, while this (main)
// thread runs the main run loop, which ScreenCaptureKit's completions are
// known to need. Asks the call to stop when no answer has come within the
// bound, and waits for the worker either way.
template <typename T>
LiveOutcome<T> callWithRunLoop(const std::function<T(StopToken)>& call) {
  const StopSource source;
  std::atomic<bool> done = false;
  LiveOutcome<T> outcome;
  std::thread worker([&outcome, &call, &done, token = source.token()] {
    try {
      outcome.value.emplace(call(token));
    } catch (const PlatformError& error) {
      outcome.failure.emplace(error);
    }
    done.store(true);
  });
  const auto giveUp = std::chrono::steady_clock::now() + kAnswerBound;
  while (!done.load() && std::chrono::steady_clock::now() < giveUp) {
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.05, true);
  }
  outcome.answered = done.load();
  source.requestStop();
  worker.join();
  return outcome;
}

// Skips the calling test, saying why, when the platform gave one of the
// answers a test machine may legitimately give: none at all, or a refusal
// for want of the Screen Recording permission. Any other failure fails.
#define ASSERT_ANSWERED(outcome)                                                                              \
  do {                                                                                                        \
    if (!(outcome).answered) GTEST_SKIP() << "ScreenCaptureKit did not answer within the bound";              \
    if ((outcome).failure && (outcome).failure->status() == kUserDeclinedStatus) {                            \
      GTEST_SKIP() << "Screen Recording is not granted to this process's responsible application: "          \
                   << (outcome).failure->what();                                                              \
    }                                                                                                         \
    ASSERT_FALSE((outcome).failure.has_value()) << (outcome).failure->what();                                 \
  } while (false)

TEST(MacScreenCaptureTest, ShareableWindowsEachHoldTheirWindowAndCaptureAsPremultipliedBGRA) {
  const auto capture = std::make_shared<const MacScreenCapture>();
  auto listed = callWithRunLoop<std::vector<ShareableWindow>>(
      [capture](StopToken stop) { return capture->shareableWindows(std::move(stop)); });
  ASSERT_ANSWERED(listed);
  const std::vector<ShareableWindow>& windows = *listed.value;
  for (const ShareableWindow& window : windows) {
    EXPECT_NE(window.handle, nullptr) << "window " << window.windowID;
    if (window.owner) EXPECT_GT(window.owner->pid, 0) << "window " << window.windowID;
  }

  const ShareableWindow* sized = nullptr;
  for (const ShareableWindow& window : windows) {
    if (std::trunc(window.frame.width) >= 1 && std::trunc(window.frame.height) >= 1) {
      sized = &window;
      break;
    }
  }
  if (sized == nullptr) GTEST_SKIP() << "no on-screen window with a frame of at least one point to capture";

  CaptureConfiguration configuration;
  configuration.width = static_cast<std::int64_t>(sized->frame.width);
  configuration.height = static_cast<std::int64_t>(sized->frame.height);
  configuration.showsCursor = false;
  configuration.captureResolution = kCaptureResolutionBest;
  configuration.pixelFormat = kPixelFormatBGRA;
  const PlatformHandle handle = sized->handle;
  auto captured = callWithRunLoop<CapturedImage>([capture, handle, configuration](StopToken stop) {
    return capture->captureImage(handle, configuration, std::move(stop));
  });
  ASSERT_ANSWERED(captured);
  const CapturedImage& image = *captured.value;
  EXPECT_GE(image.width, 1);
  EXPECT_GE(image.height, 1);
  EXPECT_GE(image.bytesPerRow, static_cast<std::size_t>(image.width) * 4);
  EXPECT_EQ(image.pixels.size(), static_cast<std::size_t>(image.height) * image.bytesPerRow);
}

// ---- The hand-over layout, from images built on known bytes. ----

// A 2 x 2 image: red, azure / transparent, a translucent brown (premultiplied
// by alpha 128), unless a case says otherwise.
struct LayoutCase {
  const char* name;
  CFStringRef colourSpace;
  std::size_t bitsPerComponent;
  std::size_t bitsPerPixel;
  std::uint32_t bitmapInfo;
  std::size_t bytesPerRow;
  Bytes source;
  std::size_t expectedBytesPerRow;
  Bytes expected;
};

constexpr auto info(CGImageAlphaInfo alpha, CGBitmapInfo order) {
  return static_cast<std::uint32_t>(alpha) | static_cast<std::uint32_t>(order);
}

// The four pixels above in the handed-over layout: blue, green, red, alpha.
const Bytes kExpectedRow0 = {0, 0, 255, 255, 255, 128, 0, 255};
const Bytes kExpectedRow1 = {0, 0, 0, 0, 16, 32, 64, 128};

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

const Bytes kPadding8(8, 0xEE);

std::vector<LayoutCase> layoutCases() {
  return {
      {"already BGRA premultiplied first, padded rows are copied with their stride", kCGColorSpaceSRGB, 8, 32,
       info(kCGImageAlphaPremultipliedFirst, kCGBitmapByteOrder32Little), 16,
       concat({kExpectedRow0, kPadding8, kExpectedRow1, kPadding8}), 16,
       concat({kExpectedRow0, kPadding8, kExpectedRow1, kPadding8})},
      {"RGBA big-endian premultiplied last with padded rows is redrawn", kCGColorSpaceSRGB, 8, 32,
       info(kCGImageAlphaPremultipliedLast, kCGBitmapByteOrder32Big), 16,
       concat({{255, 0, 0, 255, 0, 128, 255, 255}, kPadding8, {0, 0, 0, 0, 64, 32, 16, 128}, kPadding8}), 8,
       concat({kExpectedRow0, kExpectedRow1})},
      {"ARGB big-endian premultiplied first is redrawn", kCGColorSpaceSRGB, 8, 32,
       info(kCGImageAlphaPremultipliedFirst, kCGBitmapByteOrder32Big), 8,
       Bytes{255, 255, 0, 0, 255, 0, 128, 255, 0, 0, 0, 0, 128, 64, 32, 16}, 8,
       concat({kExpectedRow0, kExpectedRow1})},
      {"RGB without alpha is redrawn opaque", kCGColorSpaceSRGB, 8, 32,
       info(kCGImageAlphaNoneSkipLast, kCGBitmapByteOrder32Big), 8,
       Bytes{255, 0, 0, 0, 0, 128, 255, 0, 0, 0, 0, 0, 64, 32, 16, 0}, 8,
       Bytes{0, 0, 255, 255, 255, 128, 0, 255, 0, 0, 0, 255, 16, 32, 64, 255}},
      {"16-bit RGBA premultiplied last is redrawn to 8 bits", kCGColorSpaceSRGB, 16, 64,
       info(kCGImageAlphaPremultipliedLast, kCGBitmapByteOrder16Big), 16,
       Bytes{0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0x80, 0x80, 0xFF, 0xFF, 0xFF, 0xFF,
             0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x40, 0x20, 0x20, 0x10, 0x10, 0x80, 0x80},
       8, concat({kExpectedRow0, kExpectedRow1})},
      {"RGBA in Display P3 is redrawn in Display P3, colours unconverted", kCGColorSpaceDisplayP3, 8, 32,
       info(kCGImageAlphaPremultipliedLast, kCGBitmapByteOrder32Big), 8,
       Bytes{255, 0, 0, 255, 0, 128, 255, 255, 0, 0, 0, 0, 64, 32, 16, 128}, 8,
       concat({kExpectedRow0, kExpectedRow1})},
  };
}

CFRef<CGImageRef> imageOf(const LayoutCase& layout) {
  const auto space = CFRef<CGColorSpaceRef>::adopt(CGColorSpaceCreateWithName(layout.colourSpace));
  const auto data = CFRef<CFDataRef>::adopt(
      CFDataCreate(kCFAllocatorDefault, layout.source.data(), static_cast<CFIndex>(layout.source.size())));
  const auto provider = CFRef<CGDataProviderRef>::adopt(CGDataProviderCreateWithCFData(data.get()));
  return CFRef<CGImageRef>::adopt(CGImageCreate(2, 2, layout.bitsPerComponent, layout.bitsPerPixel, layout.bytesPerRow,
                                                space.get(), static_cast<CGBitmapInfo>(layout.bitmapInfo),
                                                provider.get(), nullptr, false, kCGRenderingIntentDefault));
}

TEST(PremultipliedBGRATest, EveryLayoutIsHandedOverAsPremultipliedBGRARowsTopToBottom) {
  for (const LayoutCase& layout : layoutCases()) {
    SCOPED_TRACE(layout.name);
    const CFRef<CGImageRef> image = imageOf(layout);
    ASSERT_TRUE(image) << "the platform refused to build the source image";
    const CapturedImage captured = premultipliedBGRA(image.get());
    EXPECT_EQ(captured.width, 2);
    EXPECT_EQ(captured.height, 2);
    EXPECT_EQ(captured.bytesPerRow, layout.expectedBytesPerRow);
    EXPECT_EQ(captured.pixels, layout.expected);
  }
}

TEST(PremultipliedBGRATest, NoImageIsAPlatformError) {
  EXPECT_THROW(premultipliedBGRA(nullptr), PlatformError);
}

}  // namespace
}  // namespace pellucor::platform::macos
