#include "native/focused_window_policy.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "native/error_outcome.hpp"
#include "target_fixture.hpp"

namespace pellucor {
namespace {

using testing::focusedSnapshot;
using testing::hostTarget;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr platform::Rect kFocusedFrame{100, 200, 1280, 800};

WindowCandidate hostWindow(std::uint32_t windowID, platform::Rect frame = kFocusedFrame,
                           std::string title = "Zorvane") {
  return WindowCandidate{501, "com.brevant.zorvane", windowID, true, std::move(title), frame};
}

constexpr char kNotFound[] =
    "focused_window_not_found / focused Plugin application AX window does not uniquely match one ScreenCaptureKit "
    "window";
constexpr char kAmbiguous[] =
    "focused_window_ambiguous / focused Plugin application AX window does not uniquely match one ScreenCaptureKit "
    "window";
constexpr char kIDMismatch[] =
    "focused_window_id_mismatch / requested window_id differs from the verified focused Plugin application window";

std::string outcome(const std::vector<WindowCandidate>& candidates, const AXReadSnapshot& snapshot,
                    const Target& target, bool enforce) {
  return testing::failureOf([&] { FocusedWindowPolicy::unique(candidates, snapshot, target, enforce); });
}

struct SingleCandidateCase {
  const char* name;
  WindowCandidate candidate;
  platform::Rect focusedFrame;
  const char* focusedTitle;
  bool matches;
};

class SingleCandidateTest : public ::testing::TestWithParam<SingleCandidateCase> {};

TEST_P(SingleCandidateTest, MatchesOnlyTheFocusedWindow) {
  const SingleCandidateCase& c = GetParam();
  EXPECT_EQ(outcome({c.candidate}, focusedSnapshot(c.focusedFrame, c.focusedTitle), hostTarget(), true),
            c.matches ? "succeeded" : kNotFound);
}

WindowCandidate with(WindowCandidate candidate, auto change) {
  change(candidate);
  return candidate;
}

INSTANTIATE_TEST_SUITE_P(
    Frames, SingleCandidateTest,
    ::testing::Values(
        SingleCandidateCase{"Exact", hostWindow(7), kFocusedFrame, "Zorvane", true},
        SingleCandidateCase{"XOffByExactlyOne", hostWindow(7, {101, 200, 1280, 800}), kFocusedFrame, "Zorvane", true},
        SingleCandidateCase{"XOffByOneBelow", hostWindow(7, {99, 200, 1280, 800}), kFocusedFrame, "Zorvane", true},
        SingleCandidateCase{"XOffBeyondOne", hostWindow(7, {101.0001, 200, 1280, 800}), kFocusedFrame, "Zorvane",
                            false},
        SingleCandidateCase{"YOffByExactlyOne", hostWindow(7, {100, 199, 1280, 800}), kFocusedFrame, "Zorvane", true},
        SingleCandidateCase{"YOffBeyondOne", hostWindow(7, {100, 198.9999, 1280, 800}), kFocusedFrame, "Zorvane",
                            false},
        SingleCandidateCase{"WidthOffByExactlyOne", hostWindow(7, {100, 200, 1281, 800}), kFocusedFrame, "Zorvane",
                            true},
        SingleCandidateCase{"WidthOffBeyondOne", hostWindow(7, {100, 200, 1281.0001, 800}), kFocusedFrame, "Zorvane",
                            false},
        SingleCandidateCase{"HeightOffByExactlyOne", hostWindow(7, {100, 200, 1280, 799}), kFocusedFrame, "Zorvane",
                            true},
        SingleCandidateCase{"HeightOffBeyondOne", hostWindow(7, {100, 200, 1280, 801.0001}), kFocusedFrame,
                            "Zorvane", false},
        SingleCandidateCase{"FractionalFocusedFrame", hostWindow(7, {100, 200, 1280, 800}),
                            {100.5, 199.5, 1279.9, 800.4}, "Zorvane", true},
        SingleCandidateCase{"NegativeWidthIsNotStandardised", hostWindow(7, {1380, 200, -1280, 800}), kFocusedFrame,
                            "Zorvane", false},
        SingleCandidateCase{"CandidateXNaN", hostWindow(7, {kNaN, 200, 1280, 800}), kFocusedFrame, "Zorvane", false},
        SingleCandidateCase{"CandidateHeightNaN", hostWindow(7, {100, 200, 1280, kNaN}), kFocusedFrame, "Zorvane",
                            false},
        SingleCandidateCase{"FocusedWidthNaN", hostWindow(7), {100, 200, kNaN, 800}, "Zorvane", false},
        SingleCandidateCase{"BothInfinite", hostWindow(7, {kInfinity, 200, 1280, 800}), {kInfinity, 200, 1280, 800},
                            "Zorvane", false},
        SingleCandidateCase{"CandidateInfinite", hostWindow(7, {100, 200, kInfinity, 800}), kFocusedFrame, "Zorvane",
                            false}),
    [](const auto& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Identity, SingleCandidateTest,
    ::testing::Values(
        SingleCandidateCase{"OffScreen", with(hostWindow(7), [](auto& c) { c.onScreen = false; }), kFocusedFrame,
                            "Zorvane", false},
        SingleCandidateCase{"OtherProcessSameBundle", with(hostWindow(7), [](auto& c) { c.pid = 502; }),
                            kFocusedFrame, "Zorvane", false},
        SingleCandidateCase{"OtherBundle", with(hostWindow(7), [](auto& c) { c.bundleID = "com.brevant.zorvane.dev"; }),
                            kFocusedFrame, "Zorvane", false},
        SingleCandidateCase{"NoOwner", with(hostWindow(7), [](auto& c) { c.pid = -1; c.bundleID = ""; }),
                            kFocusedFrame, "Zorvane", false},
        SingleCandidateCase{"TitleWithTrailingSpace", hostWindow(7, kFocusedFrame, "Zorvane "), kFocusedFrame,
                            "Zorvane", false},
        SingleCandidateCase{"TitleInLowerCase", hostWindow(7, kFocusedFrame, "zorvane"), kFocusedFrame, "Zorvane",
                            false},
        SingleCandidateCase{"TitleCanonicallyEquivalent", hostWindow(7, kFocusedFrame, "Caf\u00e9"), kFocusedFrame,
                            "Cafe\u0301", true},
        SingleCandidateCase{"UntitledWithUntitledFocus", hostWindow(7, kFocusedFrame, ""), kFocusedFrame, "", true},
        SingleCandidateCase{"UntitledWithTitledFocus", hostWindow(7, kFocusedFrame, ""), kFocusedFrame, "Zorvane",
                            false},
        SingleCandidateCase{"TitledWithUntitledFocus", hostWindow(7), kFocusedFrame, "", false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(FocusedWindowPolicyTest, ReturnsTheSingleMatchAmongOthers) {
  const std::vector<WindowCandidate> candidates{
      hostWindow(5, {0, 0, 300, 300}), hostWindow(6, kFocusedFrame, "Inspector"),
      with(hostWindow(7), [](auto& c) { c.onScreen = false; }), hostWindow(8, {100.5, 200.5, 1280.5, 799.5}),
      hostWindow(9, {500, 500, 1280, 800})};
  EXPECT_EQ(FocusedWindowPolicy::unique(candidates, focusedSnapshot(kFocusedFrame), hostTarget(8), true), 3u);
}

// The match is named by its position, so that a caller never has to find it
// again by comparing descriptions, which a frame that is not a number would
// not even equal to itself.
TEST(FocusedWindowPolicyTest, NamesTheMatchByItsPositionAmongEqualDescriptions) {
  const WindowCandidate offScreenTwin = with(hostWindow(8), [](auto& c) { c.onScreen = false; });
  const WindowCandidate undefinedTwin = with(hostWindow(8), [](auto& c) { c.frame.x = kNaN; });
  const struct {
    const char* name;
    std::vector<WindowCandidate> candidates;
    std::size_t expected;
  } cases[] = {
      {"alone", {hostWindow(8)}, 0},
      {"after an off-screen twin", {offScreenTwin, hostWindow(8)}, 1},
      {"after a twin whose frame is not a number", {undefinedTwin, undefinedTwin, hostWindow(8)}, 2},
      {"before a twin whose frame is not a number", {hostWindow(8), undefinedTwin}, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FocusedWindowPolicy::unique(c.candidates, focusedSnapshot(kFocusedFrame), hostTarget(8), true),
              c.expected)
        << c.name;
  }
}

TEST(FocusedWindowPolicyTest, NoCandidatesIsNotFound) {
  EXPECT_EQ(outcome({}, focusedSnapshot(kFocusedFrame), hostTarget(), true), kNotFound);
}

TEST(FocusedWindowPolicyTest, TwoMatchesAreAmbiguousWhateverTheRequestNames) {
  const std::vector<WindowCandidate> twins{hostWindow(7), hostWindow(8, {100.5, 200, 1280, 800})};
  const AXReadSnapshot snapshot = focusedSnapshot(kFocusedFrame);
  EXPECT_EQ(outcome(twins, snapshot, hostTarget(), true), kAmbiguous);
  EXPECT_EQ(outcome(twins, snapshot, hostTarget(7), true), kAmbiguous);
  EXPECT_EQ(outcome(twins, snapshot, hostTarget(8), false), kAmbiguous);
}

TEST(FocusedWindowPolicyTest, RequestedWindowIDCountsOnlyWhenEnforced) {
  const std::vector<WindowCandidate> candidates{hostWindow(7)};
  const AXReadSnapshot snapshot = focusedSnapshot(kFocusedFrame);
  EXPECT_EQ(outcome(candidates, snapshot, hostTarget(8), true), kIDMismatch);
  EXPECT_EQ(outcome(candidates, snapshot, hostTarget(8), false), "succeeded");
  EXPECT_EQ(outcome(candidates, snapshot, hostTarget(7), true), "succeeded");
  EXPECT_EQ(outcome(candidates, snapshot, hostTarget(), true), "succeeded");
}

TEST(WindowCandidateEqualityTest, ComparesTextsCanonicallyAndFramesExactly) {
  const WindowCandidate base = hostWindow(7, kFocusedFrame, "Caf\u00e9");
  EXPECT_EQ(base, hostWindow(7, kFocusedFrame, "Cafe\u0301"));
  EXPECT_EQ(base, with(base, [](auto& c) { c.bundleID = "com.brevant.zorvane"; }));
  EXPECT_NE(base, with(base, [](auto& c) { c.pid = 502; }));
  EXPECT_NE(base, with(base, [](auto& c) { c.bundleID = "com.brevant.Zorvane"; }));
  EXPECT_NE(base, with(base, [](auto& c) { c.windowID = 8; }));
  EXPECT_NE(base, with(base, [](auto& c) { c.onScreen = false; }));
  EXPECT_NE(base, with(base, [](auto& c) { c.title = "cafe\u0301"; }));
  EXPECT_NE(base, with(base, [](auto& c) { c.frame.height = 800.0000001; }));
  const WindowCandidate undefined = with(base, [](auto& c) { c.frame.x = kNaN; });
  EXPECT_NE(undefined, undefined);
}

}  // namespace
}  // namespace pellucor
