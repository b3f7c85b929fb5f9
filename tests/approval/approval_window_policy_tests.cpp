#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "approval/approval_window_policy.hpp"
#include "wire/pellucor_error.hpp"

namespace pellucor {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

const ApprovalTarget kProduction{501, "com.brevant.zorvane", "Zorvane"};
const ApprovalTarget kDevelopment{502, "com.brevant.zorvane.dev", "Zorvane Dev"};

// "code / message" of the error a call fails with, or "" when it succeeds.
template <typename Call>
std::string failureOf(Call call) {
  try {
    call();
  } catch (const PellucorError& error) {
    return error.code + " / " + error.message;
  }
  return "";
}

constexpr std::string_view kTargetInvalid = "approval_target_invalid / frontmost app is not the exact Zorvane channel";
constexpr std::string_view kWindowAmbiguous =
    "approval_window_ambiguous / exact frontmost Zorvane ScreenCaptureKit window is absent or ambiguous";

struct FrontmostCase {
  std::string_view name;
  std::optional<ApprovalTarget> frontmost;
  bool accepted;
};

const FrontmostCase kFrontmostCases[] = {
    {"production host", kProduction, true},
    {"development host", kDevelopment, true},
    {"process identifier is not examined", ApprovalTarget{-7, "com.brevant.zorvane", "Zorvane"}, true},
    {"no frontmost application", std::nullopt, false},
    {"production identifier with the development name", ApprovalTarget{501, "com.brevant.zorvane", "Zorvane Dev"},
     false},
    {"development identifier with the production name", ApprovalTarget{501, "com.brevant.zorvane.dev", "Zorvane"},
     false},
    {"third application", ApprovalTarget{501, "com.example.editor", "Zorvane"}, false},
    {"identifier in other case", ApprovalTarget{501, "com.brevant.Zorvane", "Zorvane"}, false},
    {"identifier with a trailing space", ApprovalTarget{501, "com.brevant.zorvane ", "Zorvane"}, false},
    {"name in lower case", ApprovalTarget{501, "com.brevant.zorvane", "zorvane"}, false},
    {"name with a trailing space", ApprovalTarget{501, "com.brevant.zorvane", "Zorvane "}, false},
    {"empty identifier and name", ApprovalTarget{501, "", ""}, false},
    {"name of the helper", ApprovalTarget{501, "com.brevant.zorvane.pellucor", "Zorvane Pellucor"}, false},
};

TEST(ApprovalWindowPolicyTest, AcceptsOnlyTheHostChannelsUnderTheirOwnNames) {
  for (const FrontmostCase& c : kFrontmostCases) {
    if (c.accepted) {
      EXPECT_EQ(ApprovalWindowPolicy::validateFrontmost(c.frontmost), *c.frontmost) << c.name;
      EXPECT_EQ(ApprovalWindowPolicy::validateFrontmost(c.frontmost).pid, c.frontmost->pid) << c.name;
    } else {
      EXPECT_EQ(failureOf([&] { ApprovalWindowPolicy::validateFrontmost(c.frontmost); }), kTargetInvalid) << c.name;
    }
  }
}

std::shared_ptr<const ScreenWindow> window(std::uint32_t windowID, std::int32_t pid, std::string bundleID,
                                           std::string title, platform::Rect frame, bool onScreen = true) {
  return std::make_shared<const ScreenWindow>(
      ScreenWindow{WindowCandidate{pid, std::move(bundleID), windowID, onScreen, std::move(title), frame}, nullptr});
}

// The production host's main window, with one property changed per row.
std::shared_ptr<const ScreenWindow> hostWindow(std::uint32_t windowID, platform::Rect frame = {0, 25, 1440, 875}) {
  return window(windowID, 501, "com.brevant.zorvane", "Zorvane", frame);
}

struct SelectionCase {
  std::string_view name;
  ScreenWindowList windows;
  std::optional<std::uint32_t> selected;  // nothing: "approval_window_ambiguous"
};

std::vector<SelectionCase> selectionCases() {
  return {
      {"the one host window", {hostWindow(7)}, 7},
      {"host window among others",
       {window(1, 600, "com.example.editor", "Zorvane", {0, 0, 800, 600}), hostWindow(7),
        window(8, 501, "com.brevant.zorvane", "Untitled.zvn", {0, 0, 800, 600})},
       7},
      {"no windows", {}, std::nullopt},
      {"another process", {window(7, 502, "com.brevant.zorvane", "Zorvane", {0, 0, 800, 600})}, std::nullopt},
      {"another bundle identifier",
       {window(7, 501, "com.brevant.zorvane.dev", "Zorvane", {0, 0, 800, 600})},
       std::nullopt},
      {"no owning application", {window(7, -1, "", "Zorvane", {0, 0, 800, 600})}, std::nullopt},
      {"off screen", {window(7, 501, "com.brevant.zorvane", "Zorvane", {0, 0, 800, 600}, false)}, std::nullopt},
      {"titled with a document",
       {window(7, 501, "com.brevant.zorvane", "Report.zvn — Zorvane", {0, 0, 800, 600})},
       std::nullopt},
      {"untitled", {window(7, 501, "com.brevant.zorvane", "", {0, 0, 800, 600})}, std::nullopt},
      {"title in other case", {window(7, 501, "com.brevant.zorvane", "ZORVANE", {0, 0, 800, 600})}, std::nullopt},
      {"two host windows", {hostWindow(7), hostWindow(9)}, std::nullopt},
      {"two host windows, one off screen",
       {hostWindow(7), window(9, 501, "com.brevant.zorvane", "Zorvane", {0, 0, 800, 600}, false)},
       7},
      {"zero width", {hostWindow(7, {0, 0, 0, 600})}, std::nullopt},
      {"zero height", {hostWindow(7, {0, 0, 800, 0})}, std::nullopt},
      {"negative zero width", {hostWindow(7, {0, 0, -0.0, 600})}, std::nullopt},
      {"width not a number", {hostWindow(7, {0, 0, kNaN, 600})}, std::nullopt},
      {"height not a number", {hostWindow(7, {0, 0, 800, kNaN})}, std::nullopt},
      {"infinite width", {hostWindow(7, {0, 0, kInfinity, 600})}, std::nullopt},
      {"height beyond the 64-bit range", {hostWindow(7, {0, 0, 800, 1e19})}, std::nullopt},
      {"origin not a number does not matter", {hostWindow(7, {kNaN, kNaN, 800, 600})}, 7},
      {"negative sides count by their length", {hostWindow(7, {800, 600, -800, -600})}, 7},
      {"less than a point wide", {hostWindow(7, {0, 0, 0.6, 600})}, 7},
      {"zero-width twin does not make it ambiguous", {hostWindow(7), hostWindow(9, {0, 0, 0, 600})}, 7},
  };
}

TEST(ApprovalWindowPolicyTest, SelectsTheOneExactHostWindow) {
  for (const SelectionCase& c : selectionCases()) {
    if (c.selected) {
      std::shared_ptr<const ScreenWindow> selected;
      EXPECT_EQ(failureOf([&] { selected = ApprovalWindowPolicy::selectExactWindow(c.windows, kProduction); }), "")
          << c.name;
      ASSERT_NE(selected, nullptr) << c.name;
      EXPECT_EQ(selected->candidate.windowID, *c.selected) << c.name;
    } else {
      EXPECT_EQ(failureOf([&] { ApprovalWindowPolicy::selectExactWindow(c.windows, kProduction); }), kWindowAmbiguous)
          << c.name;
    }
  }
}

TEST(ApprovalWindowPolicyTest, ReturnsTheListedWindowObjectItself) {
  const ScreenWindowList windows = {hostWindow(3),
                                    window(7, 502, "com.brevant.zorvane.dev", "Zorvane Dev", {0, 0, 800, 600})};
  EXPECT_EQ(ApprovalWindowPolicy::selectExactWindow(windows, kDevelopment), windows[1]);
  EXPECT_EQ(ApprovalWindowPolicy::selectExactWindow(windows, kProduction), windows[0]);
}

TEST(ApprovalWindowPolicyTest, ComparesTitlesByCanonicalEquivalence) {
  // A host whose name has a precomposed letter still owns a window whose title
  // spells it decomposed, and the other way round.
  const ApprovalTarget precomposed{501, "com.brevant.zorvane", "Zorv\xC3\xA1ne"};
  const ScreenWindowList decomposed = {window(7, 501, "com.brevant.zorvane", "Zorva\xCC\x81ne", {0, 0, 800, 600})};
  EXPECT_EQ(ApprovalWindowPolicy::selectExactWindow(decomposed, precomposed)->candidate.windowID, 7u);
}

}  // namespace
}  // namespace pellucor
