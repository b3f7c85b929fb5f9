#include "native/window_enumeration.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "native/error_outcome.hpp"
#include "native/system_screen_window_access.hpp"
#include "platform/platform_error.hpp"
#include "support/fake_screen_capture.hpp"
#include "target_fixture.hpp"

namespace pellucor {
namespace {

using platform::PlatformValue;
using testing::failureOf;
using testing::FakeScreenCapture;
using testing::focusedSnapshot;
using testing::hostTarget;
using testing::reads;
using testing::ScriptedReader;

constexpr platform::Rect kFocusedFrame{100, 200, 1280, 800};

platform::ShareableWindow hostWindow(std::uint32_t windowID, platform::Rect frame = kFocusedFrame) {
  return FakeScreenCapture::window(windowID, 501, "com.brevant.zorvane", "Zorvane", frame);
}

// A screen of `count` host windows numbered from 1, of which only the last
// shows the focused frame.
std::vector<platform::ShareableWindow> hostWindows(std::uint32_t count) {
  std::vector<platform::ShareableWindow> windows;
  for (std::uint32_t number = 1; number < count; ++number) windows.push_back(hostWindow(number, {0, 0, 10, 10}));
  windows.push_back(hostWindow(count));
  return windows;
}

class CandidateWindowsTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeScreenCapture> screen = std::make_shared<FakeScreenCapture>();
  std::shared_ptr<ScreenWindowAccessing> access = std::make_shared<SystemScreenWindowAccess>(screen);
  testing::DeadlineClock clock;
};

TEST_F(CandidateWindowsTest, KeepsOnlyTheTargetsOwnOnScreenWindowsInOrder) {
  platform::ShareableWindow offScreen = hostWindow(3);
  offScreen.onScreen = false;
  platform::ShareableWindow orphan = hostWindow(6);
  orphan.owner.reset();
  screen->windows = {hostWindow(1), FakeScreenCapture::window(2, 502, "com.brevant.zorvane", "Zorvane", kFocusedFrame),
                     offScreen, FakeScreenCapture::window(4, 501, "com.brevant.other", "Zorvane", kFocusedFrame),
                     hostWindow(5), orphan};
  const ScreenWindowList own = candidateWindows(access, hostTarget(), clock.deadline(3));
  ASSERT_EQ(own.size(), 2u);
  EXPECT_EQ(own[0]->candidate.windowID, 1u);
  EXPECT_EQ(own[1]->candidate.windowID, 5u);
}

TEST_F(CandidateWindowsTest, ThirtyTwoWindowsAreAcceptedThirtyThreeRefusedBeforeMatching) {
  screen->windows = hostWindows(32);
  EXPECT_EQ(candidateWindows(access, hostTarget(), clock.deadline(3)).size(), 32u);

  screen->windows = hostWindows(33);
  // Other applications' windows do not count towards the ceiling.
  screen->windows.push_back(FakeScreenCapture::window(99, 777, "com.example", "x", kFocusedFrame));
  EXPECT_EQ(failureOf([&] { candidateWindows(access, hostTarget(), clock.deadline(3)); }),
            "too_many_windows / more than 32 same-app candidate windows");
}

TEST_F(CandidateWindowsTest, ListingFailureAndExpiredDeadlinePassThrough) {
  screen->listingError = "screen recording denied";
  EXPECT_THROW(candidateWindows(access, hostTarget(), clock.deadline(3)), platform::PlatformError);

  const MonotonicDeadline deadline = clock.deadline(1);
  clock.advance(1'000'000'000);
  EXPECT_EQ(failureOf([&] { candidateWindows(access, hostTarget(), deadline); }),
            "operation_timeout / operation exceeded its monotonic deadline");
}

PlatformValue entry(std::vector<std::pair<std::string, PlatformValue>> members) {
  PlatformValue value;
  value.kind = PlatformValue::Kind::dictionary;
  value.dictionary = std::move(members);
  return value;
}

PlatformValue window(PlatformValue owner, PlatformValue number, PlatformValue state) {
  return entry({{"kCGWindowOwnerPID", std::move(owner)},
                {"kCGWindowNumber", std::move(number)},
                {"kCGWindowSharingState", std::move(state)}});
}

PlatformValue integer(std::int64_t value) { return PlatformValue::makeInteger(value); }
PlatformValue floating(double value) { return PlatformValue::makeFloating(value); }

struct LegacyCase {
  const char* name;
  std::optional<PlatformValue> list;
  std::map<std::uint32_t, std::int64_t> states;
};

class LegacyMetadataTest : public ::testing::TestWithParam<LegacyCase> {};

TEST_P(LegacyMetadataTest, ReadsTheTargetsSharingStates) {
  auto screen = std::make_shared<FakeScreenCapture>();
  screen->legacyList = GetParam().list;
  SystemScreenWindowAccess access(screen);
  EXPECT_EQ(legacyMetadataByWindowID(access, hostTarget()), GetParam().states);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Lists, LegacyMetadataTest,
    ::testing::Values(
        LegacyCase{"NoList", std::nullopt, {}},
        LegacyCase{"NotAList", window(integer(501), integer(42), integer(1)), {}},
        LegacyCase{"ListHoldingANonDictionary",
                   PlatformValue::makeList({window(integer(501), integer(42), integer(1)), integer(3)}),
                   {}},
        LegacyCase{"IntegersAndFloats",
                   PlatformValue::makeList({window(integer(501), integer(42), integer(1)),
                                            window(floating(501.0), floating(43.9), floating(2.7)),
                                            window(integer(501), integer(4294967295), integer(-3))}),
                   {{42, 1}, {43, 2}, {4294967295u, -3}}},
        LegacyCase{"LaterEntryReplacesEarlier",
                   PlatformValue::makeList({window(integer(501), integer(42), integer(1)),
                                            window(integer(501), integer(42), integer(0))}),
                   {{42, 0}}},
        LegacyCase{"SkippedEntriesKeepTheEarlierState",
                   PlatformValue::makeList({window(integer(501), integer(42), integer(2)),
                                            window(integer(501), integer(42), PlatformValue::makeText("1")),
                                            entry({{"kCGWindowOwnerPID", integer(501)}, {"kCGWindowNumber", integer(42)}})}),
                   {{42, 2}}},
        LegacyCase{"OtherProcessesAndUnreadableOwners",
                   PlatformValue::makeList({window(integer(502), integer(1), integer(1)),
                                            window(PlatformValue::makeText("501"), integer(2), integer(1)),
                                            window(PlatformValue::makeBoolean(true), integer(3), integer(1)),
                                            entry({{"kCGWindowNumber", integer(4)}, {"kCGWindowSharingState", integer(1)}}),
                                            window(integer(4294967296 + 501), integer(5), integer(1)),
                                            window(floating(kNaN), integer(6), integer(1))}),
                   {}},
        LegacyCase{"NumbersOutsideTheirRange",
                   PlatformValue::makeList({window(integer(501), integer(-1), integer(1)),
                                            window(integer(501), integer(4294967296), integer(1)),
                                            window(integer(501), floating(4294967296.0), integer(1)),
                                            window(integer(501), floating(-0.5), integer(1)),
                                            window(integer(501), integer(8), floating(1e19)),
                                            window(integer(501), integer(9), floating(kNaN))}),
                   {{0, 1}}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(LegacyMetadataTest, AListThatCannotBeReadLeavesEveryStateUnknown) {
  auto screen = std::make_shared<FakeScreenCapture>();
  screen->windowListError = "window server unavailable";
  SystemScreenWindowAccess access(screen);
  EXPECT_TRUE(legacyMetadataByWindowID(access, hostTarget()).empty());
}

TEST(TruncatedSideLengthTest, StandardisesAndTruncatesOrRefuses) {
  EXPECT_EQ(truncatedSideLength(1279.9), 1279);
  EXPECT_EQ(truncatedSideLength(-1279.9), 1279);
  EXPECT_EQ(truncatedSideLength(0.5), 0);
  EXPECT_EQ(truncatedSideLength(9223372036854774784.0), 9223372036854774784);
  EXPECT_EQ(truncatedSideLength(9223372036854775808.0), std::nullopt);
  EXPECT_EQ(truncatedSideLength(std::numeric_limits<double>::infinity()), std::nullopt);
  EXPECT_EQ(truncatedSideLength(kNaN), std::nullopt);
}

class EnumerateWindowsTest : public ::testing::Test {
 protected:
  NativeExecution enumerate(const Target& target) {
    const auto operations = testing::hostOperations(reader, nullptr, access);
    return operations->enumerateWindows(target, clock.deadline(3));
  }

  testing::DeadlineClock clock;
  std::shared_ptr<FakeScreenCapture> screen = std::make_shared<FakeScreenCapture>();
  std::shared_ptr<ScreenWindowAccessing> access = std::make_shared<SystemScreenWindowAccess>(screen);
  std::shared_ptr<ScriptedReader> reader =
      std::make_shared<ScriptedReader>(std::vector{reads(focusedSnapshot({100, 200, 1279.9, 800.7}))});
};

TEST_F(EnumerateWindowsTest, DescribesTheVerifiedFocusedWindowAlone) {
  screen->windows = {hostWindow(41, {0, 0, 640, 480}), hostWindow(42, {100.4, 200, 1279.9, 800.7})};
  screen->legacyList = PlatformValue::makeList({window(integer(501), integer(42), integer(1))});

  const NativeExecution execution = enumerate(hostTarget());

  JSONValue::Object expected;
  expected.emplace("window_id", std::int64_t{42});
  expected.emplace("title", "Zorvane");
  expected.emplace("width", std::int64_t{1279});
  expected.emplace("height", std::int64_t{800});
  expected.emplace("on_screen", true);
  expected.emplace("legacy_sharing_state", std::int64_t{1});
  EXPECT_EQ(execution.result, JSONValue(JSONValue::Array{JSONValue(expected)}));
  TargetObservation observed;
  observed.pid = 501;
  observed.bundleID = "com.brevant.zorvane";
  observed.windowID = 42;
  observed.surface = "plugin.application";
  observed.applicationID = "0123456789abcdef01234567";
  observed.applicationName = "Notes";
  observed.applicationRevision = "r7";
  EXPECT_EQ(execution.observation, observed);
}

TEST_F(EnumerateWindowsTest, AWindowMissingFromTheLegacyListHasNullSharingState) {
  screen->windows = {hostWindow(42, {100, 200, 1279.9, 800.7})};
  screen->legacyList = PlatformValue::makeList({window(integer(501), integer(41), integer(1))});
  const NativeExecution execution = enumerate(hostTarget(42));
  ASSERT_TRUE(execution.result.isArray());
  ASSERT_EQ(execution.result.asArray().size(), 1u);
  EXPECT_TRUE(execution.result.asArray()[0].find("legacy_sharing_state")->isNull());
}

TEST_F(EnumerateWindowsTest, MatchingFailuresEndTheOperation) {
  screen->windows = {hostWindow(42, {100, 200, 1279.9, 800.7})};
  EXPECT_EQ(failureOf([&] { enumerate(hostTarget(43)); }),
            "focused_window_id_mismatch / requested window_id differs from the verified focused Plugin application "
            "window");

  screen->windows = {hostWindow(42, {100, 200, 1279.9, 800.7}), hostWindow(43, {100, 200, 1280, 800})};
  EXPECT_EQ(failureOf([&] { enumerate(hostTarget(42)); }),
            "focused_window_ambiguous / focused Plugin application AX window does not uniquely match one "
            "ScreenCaptureKit window");

  screen->windows = {};
  EXPECT_EQ(failureOf([&] { enumerate(hostTarget()); }),
            "focused_window_not_found / focused Plugin application AX window does not uniquely match one "
            "ScreenCaptureKit window");

  screen->windows = hostWindows(33);
  EXPECT_EQ(failureOf([&] { enumerate(hostTarget()); }),
            "too_many_windows / more than 32 same-app candidate windows");
}

TEST_F(EnumerateWindowsTest, TheDeadlinePassingWhileTheResultIsBuiltDiscardsIt) {
  screen->windows = {hostWindow(42, {100, 200, 1279.9, 800.7})};
  screen->onWindowList = [clock = clock] { clock.advance(3'000'000'000); };
  EXPECT_EQ(failureOf([&] { enumerate(hostTarget()); }),
            "operation_timeout / operation exceeded its monotonic deadline");
}

// The window's own title reaches the result only through the accessibility
// escaping, exactly as every other text from another process does.
TEST(EnumerateFocusedWindowTest, EscapesTheTitleAndRefusesSidesWithoutLength) {
  testing::DeadlineClock clock;
  auto screen = std::make_shared<FakeScreenCapture>();
  auto access = std::make_shared<SystemScreenWindowAccess>(screen);
  const auto validated = [](AXReadSnapshot snapshot) {
    return [snapshot] { return ValidatedTarget{TargetObservation{}, snapshot}; };
  };

  screen->windows = {FakeScreenCapture::window(42, 501, "com.brevant.zorvane", "Zor\tvane\u202E", kFocusedFrame)};
  const NativeExecution execution = enumerateFocusedWindow(
      validated(focusedSnapshot(kFocusedFrame, "Zor\tvane\u202E")), access, hostTarget(), clock.deadline(3));
  EXPECT_EQ(execution.result.asArray()[0].find("title")->asString(), "Zor\\u{0009}vane\\u{202E}");

  const std::string tooLong(4097, 'Z');
  screen->windows = {FakeScreenCapture::window(42, 501, "com.brevant.zorvane", tooLong, kFocusedFrame)};
  EXPECT_EQ(failureOf([&] {
              enumerateFocusedWindow(validated(focusedSnapshot(kFocusedFrame, tooLong)), access, hostTarget(),
                                     clock.deadline(3));
            }),
            "ax_string_too_large / AX string exceeds 4096 UTF-8 bytes after safety escaping");

  const platform::Rect vast{0, 0, 1e300, 800};
  screen->windows = {FakeScreenCapture::window(42, 501, "com.brevant.zorvane", "Zorvane", vast)};
  EXPECT_EQ(failureOf([&] {
              enumerateFocusedWindow(validated(focusedSnapshot(vast)), access, hostTarget(), clock.deadline(3));
            }),
            "invalid_frame_size / target frame dimensions are outside bounds");
}

}  // namespace
}  // namespace pellucor
