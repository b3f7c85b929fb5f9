#include "native/system_screen_window_access.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "platform/platform_error.hpp"
#include "support/fake_screen_capture.hpp"

namespace pellucor {
namespace {

using testing::FakeScreenCapture;

TEST(SystemScreenWindowAccessTest, DescribesEveryShareableWindowInOrder) {
  auto screen = std::make_shared<FakeScreenCapture>();
  platform::ShareableWindow owned = FakeScreenCapture::window(42, 501, "com.brevant.zorvane", "Zorvane",
                                                              {10.5, -20, 1279.9, 800});
  platform::ShareableWindow anonymous = FakeScreenCapture::window(43, 0, "", "", {0, 0, 1, 1});
  anonymous.owner.reset();
  anonymous.title.reset();
  anonymous.onScreen = false;
  platform::ShareableWindow noBundle = FakeScreenCapture::window(44, 77, "", "Tool", {1, 2, 3, 4});
  noBundle.owner->bundleIdentifier.reset();
  noBundle.handle = nullptr;
  screen->windows = {owned, anonymous, noBundle};

  SystemScreenWindowAccess access(screen);
  const ScreenWindowList windows = access.windows({});

  ASSERT_EQ(windows.size(), 3u);
  EXPECT_EQ(windows[0]->candidate, (WindowCandidate{501, "com.brevant.zorvane", 42, true, "Zorvane",
                                                    {10.5, -20, 1279.9, 800}}));
  EXPECT_EQ(windows[0]->native, owned.handle);
  EXPECT_EQ(windows[1]->candidate, (WindowCandidate{-1, "", 43, false, "", {0, 0, 1, 1}}));
  EXPECT_EQ(windows[1]->native, anonymous.handle);
  EXPECT_EQ(windows[2]->candidate, (WindowCandidate{77, "", 44, true, "Tool", {1, 2, 3, 4}}));
  EXPECT_EQ(windows[2]->native, nullptr);
}

TEST(SystemScreenWindowAccessTest, ListingFailurePassesThroughAsPlatformError) {
  auto screen = std::make_shared<FakeScreenCapture>();
  screen->listingError = "screen recording denied";
  SystemScreenWindowAccess access(screen);
  EXPECT_THROW(access.windows({}), platform::PlatformError);
}

TEST(SystemScreenWindowAccessTest, CapturesTheWindowObjectItselfWithTheConfiguration) {
  auto screen = std::make_shared<FakeScreenCapture>();
  screen->image = platform::CapturedImage{2, 1, 8, std::vector<std::uint8_t>(8, 0xFF)};
  const platform::ShareableWindow shown = FakeScreenCapture::window(42, 501, "com.brevant.zorvane", "Zorvane",
                                                                    {0, 0, 2, 1});
  screen->windows = {shown};
  SystemScreenWindowAccess access(screen);
  const ScreenWindowList windows = access.windows({});
  platform::CaptureConfiguration configuration;
  configuration.width = 2;
  configuration.height = 1;

  const platform::CapturedImage image = access.capture(*windows[0], configuration, {});

  EXPECT_EQ(image.pixels, screen->image.pixels);
  const auto captures = screen->captures();
  ASSERT_EQ(captures.size(), 1u);
  EXPECT_EQ(captures[0].window, shown.handle);
  EXPECT_EQ(captures[0].configuration.width, 2);
  EXPECT_EQ(captures[0].configuration.height, 1);
}

TEST(SystemScreenWindowAccessTest, RefusesAWindowWithoutHandleBeforeAskingThePlatform) {
  auto screen = std::make_shared<FakeScreenCapture>();
  SystemScreenWindowAccess access(screen);
  const ScreenWindow handleless{WindowCandidate{501, "com.brevant.zorvane", 42, true, "Zorvane", {0, 0, 2, 1}},
                                nullptr};
  try {
    access.capture(handleless, {}, {});
    FAIL() << "a window without handle was captured";
  } catch (const PellucorError& error) {
    EXPECT_EQ(error.code, "window_handle_missing");
    EXPECT_EQ(error.message, "verified ScreenCaptureKit window handle is absent");
  }
  EXPECT_TRUE(screen->captures().empty());
}

TEST(SystemScreenWindowAccessTest, AsksForTheOnScreenLegacyListWithoutDesktopElements) {
  auto screen = std::make_shared<FakeScreenCapture>();
  screen->legacyList = platform::PlatformValue::makeList({});
  SystemScreenWindowAccess access(screen);
  const auto list = access.legacyWindowList();
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(list->kind, platform::PlatformValue::Kind::list);
  const auto requests = screen->windowListRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].options, 17u);
  EXPECT_EQ(requests[0].relativeToWindow, 0u);
}

}  // namespace
}  // namespace pellucor
