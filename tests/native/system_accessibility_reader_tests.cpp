#include "native/system_accessibility_reader.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "native/error_outcome.hpp"
#include "support/fake_accessibility_service.hpp"
#include "support/fake_clock.hpp"
#include "wire/json_encoder.hpp"

namespace pellucor {
namespace {

using platform::AXResult;
using platform::AXValueData;
using platform::PlatformValue;
using testing::axPoint;
using testing::axSize;
using testing::axText;
using testing::axValueOf;
using testing::failureOf;
using testing::FakeAXElement;

constexpr std::int32_t kPid = 501;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

class SystemAccessibilityReaderTest : public ::testing::Test {
 protected:
  SystemAccessibilityReaderTest() {
    window_->set("AXTitle", axText("Zorvane")).set("AXPosition", axPoint(10.5, -20.25)).set("AXSize", axSize(800, 600.5));
    service_->focus(kPid, window_);
  }

  MonotonicDeadline deadline() const {
    return MonotonicDeadline(5, [clock = clock_] { return clock->uptimeNanoseconds(); });
  }
  AXReadSnapshot read() { return reader_.readFocused(kPid, deadline()); }
  std::string readFailure() {
    return failureOf([&] { read(); });
  }

  std::shared_ptr<testing::FakeClock> clock_ = std::make_shared<testing::FakeClock>();
  std::shared_ptr<testing::FakeAccessibilityService> service_ = std::make_shared<testing::FakeAccessibilityService>();
  std::shared_ptr<FakeAXElement> window_ = FakeAXElement::make();
  SystemAccessibilityReader reader_{service_};
};

TEST_F(SystemAccessibilityReaderTest, ReadsTitleFrameWithFractionsAndTree) {
  window_->addChild()->set("AXRole", axText("AXButton"));
  const AXReadSnapshot snapshot = read();
  EXPECT_EQ(snapshot.focusedTitle, "Zorvane");
  EXPECT_EQ(snapshot.focusedFrame, (platform::Rect{10.5, -20.25, 800, 600.5}));
  EXPECT_EQ(json::encode(snapshot.tree),
            "{\"children\":[{\"role\":\"AXButton\"}],\"position\":{\"x\":10,\"y\":-20},"
            "\"size\":{\"height\":600,\"width\":800},\"title\":\"Zorvane\"}");
}

TEST_F(SystemAccessibilityReaderTest, ReportsTrustWithoutPrompting) {
  service_->trusted = false;
  service_->promptAnswer = true;
  EXPECT_FALSE(reader_.isProcessTrusted());
  service_->trusted = true;
  EXPECT_TRUE(reader_.isProcessTrusted());
}

TEST_F(SystemAccessibilityReaderTest, AFocusedWindowThatIsNoElementCarriesTheStatus) {
  struct Case {
    const char* name;
    std::optional<AXResult> answer;  // nothing: the process has no answer at all
    std::string expected;
  };
  const Case cases[] = {
      {"PermissionMissing", AXResult{-25211, std::nullopt},
       "ax_focused_read_failed / real focused AX read failed with code -25211"},
      {"ProcessUnreachable", std::nullopt, "ax_focused_read_failed / real focused AX read failed with code -25204"},
      {"FailureEvenWithAValue", AXResult{-25212, PlatformValue::makeElement(FakeAXElement::make())},
       "ax_focused_read_failed / real focused AX read failed with code -25212"},
      {"SuccessWithoutValue", AXResult{0, std::nullopt},
       "ax_focused_read_failed / real focused AX read failed with code 0"},
      {"SuccessWithAText", AXResult{0, axText("window")},
       "ax_focused_read_failed / real focused AX read failed with code 0"},
      {"SuccessWithANullElement", AXResult{0, PlatformValue::makeElement(nullptr)},
       "ax_focused_read_failed / real focused AX read failed with code 0"},
  };
  for (const auto& c : cases) {
    service_->focusedWindows.erase(kPid);
    if (c.answer) service_->focusedWindows[kPid] = *c.answer;
    EXPECT_EQ(readFailure(), c.expected) << c.name;
  }
}

TEST_F(SystemAccessibilityReaderTest, APassedDeadlineStopsTheReadBeforeAndAfterTheFocusedWindow) {
  int questions = 0;
  service_->beforeAnswer = [&](std::string_view) { ++questions; };
  const MonotonicDeadline passed(5, [clock = clock_] { return clock->uptimeNanoseconds(); });
  clock_->advanceUptime(5'000'000'000);
  EXPECT_EQ(failureOf([&] { reader_.readFocused(kPid, passed); }),
            "operation_timeout / operation exceeded its monotonic deadline");
  EXPECT_EQ(questions, 0);

  service_->beforeAnswer = [&](std::string_view attribute) {
    ++questions;
    if (attribute == "AXFocusedWindow") clock_->advanceUptime(6'000'000'000);
  };
  EXPECT_EQ(readFailure(), "operation_timeout / operation exceeded its monotonic deadline");
  EXPECT_EQ(questions, 1);
}

struct TitleCase {
  const char* name;
  std::optional<PlatformValue> title;  // nothing: the attribute cannot be read
  std::string expected;
};

class FocusedTitleTest : public SystemAccessibilityReaderTest, public ::testing::WithParamInterface<TitleCase> {};

TEST_P(FocusedTitleTest, IsTheEscapedTextOrANumbersDecimalText) {
  if (GetParam().title) {
    window_->set("AXTitle", *GetParam().title);
  } else {
    window_->setStatus("AXTitle", -25205);
  }
  EXPECT_EQ(read().focusedTitle, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, FocusedTitleTest,
    ::testing::Values(TitleCase{"Absent", std::nullopt, ""},
                      TitleCase{"Empty", axText(""), ""},
                      TitleCase{"Escaped", axText("Zor\xE2\x80\xAEvane\t"), "Zor\\u{202E}vane\\u{0009}"},
                      TitleCase{"Integer", PlatformValue::makeInteger(-42), "-42"},
                      TitleCase{"Boolean", PlatformValue::makeBoolean(true), "1"},
                      TitleCase{"IntegralFloating", PlatformValue::makeFloating(2.0), "2"},
                      TitleCase{"FractionalFloating", PlatformValue::makeFloating(2.5), "2.5"},
                      TitleCase{"OtherKind", axPoint(1, 2), ""}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(NumberTextTest, GivesThePlatformsDecimalTextOfEveryNumberKind) {
  struct Case {
    PlatformValue value;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {PlatformValue::makeInteger(0), "0"},
      {PlatformValue::makeInteger(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808"},
      {PlatformValue::makeBoolean(false), "0"},
      {PlatformValue::makeFloating(0.1), "0.1"},
      {PlatformValue::makeFloating(-0.0), "-0"},
      {PlatformValue::makeFloating(1e21), "1e+21"},
      {PlatformValue::makeFloating(123456789.0), "123456789"},
      {PlatformValue::makeFloating(kNaN), "nan"},
      {PlatformValue::makeFloating(kInfinity), "inf"},
      {PlatformValue::makeFloating(-kInfinity), "-inf"},
      {axText("7"), std::nullopt},
      {PlatformValue::makeOther(), std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(numberText(c.value), c.expected) << (c.expected ? *c.expected : "nothing");
  }
}

struct FrameCase {
  const char* name;
  std::optional<AXResult> position;  // nothing: leave the valid position
  std::optional<AXResult> size;      // nothing: leave the valid size
  std::string expected;
};

class FocusedFrameTest : public SystemAccessibilityReaderTest, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(FocusedFrameTest, RefusesAFrameThatIsMissingOrNotAPositiveFiniteRectangle) {
  if (GetParam().position) window_->setAnswer("AXPosition", *GetParam().position);
  if (GetParam().size) window_->setAnswer("AXSize", *GetParam().size);
  EXPECT_EQ(readFailure(), GetParam().expected);
}

const std::string kMissing = "focused_window_frame_missing / focused AX window lacks a public position/size identity";
const std::string kInvalid = "focused_window_frame_invalid / focused AX window frame is invalid";

AXResult ok(PlatformValue value) { return AXResult{0, std::move(value)}; }

INSTANTIATE_TEST_SUITE_P(
    Frames, FocusedFrameTest,
    ::testing::Values(
        FrameCase{"NoSize", std::nullopt, AXResult{-25205, std::nullopt}, kMissing},
        FrameCase{"PositionReadFails", AXResult{-25204, std::nullopt}, std::nullopt, kMissing},
        FrameCase{"SizeWithoutValue", std::nullopt, AXResult{0, std::nullopt}, kMissing},
        FrameCase{"SizeIsAText", std::nullopt, ok(axText("800x600")), kMissing},
        FrameCase{"PositionIsANumber", ok(PlatformValue::makeFloating(1)), std::nullopt, kMissing},
        FrameCase{"ZeroWidth", std::nullopt, ok(axSize(0, 300)), kInvalid},
        FrameCase{"NegativeHeight", std::nullopt, ok(axSize(300, -1)), kInvalid},
        FrameCase{"WidthNotANumber", std::nullopt, ok(axSize(kNaN, 300)), kInvalid},
        FrameCase{"InfiniteHeight", std::nullopt, ok(axSize(300, kInfinity)), kInvalid},
        FrameCase{"InfiniteOrigin", ok(axPoint(-kInfinity, 0)), std::nullopt, kInvalid},
        FrameCase{"PositionHoldsASize", ok(axSize(1, 1)), std::nullopt, kInvalid},
        FrameCase{"SizeHoldsARect", std::nullopt, ok(axValueOf(AXValueData::Type::rect, {0, 0, 1, 1})), kInvalid},
        FrameCase{"SizeNotExtractable", std::nullopt, ok(axValueOf(AXValueData::Type::size, {1, 1}, false)),
                  kInvalid}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(SystemAccessibilityReaderTest, TheTreeIsCheckedBeforeTheFrame) {
  window_->setStatus("AXSize", -25205);
  auto deepest = window_;
  for (int i = 0; i < 13; ++i) deepest = deepest->addChild();
  EXPECT_EQ(readFailure(), "ax_too_deep / AX tree exceeds depth 12");
}

TEST(AXReadSnapshotTest, TitlesCompareByCanonicalEquivalenceAndFramesExactly) {
  const AXReadSnapshot composed{"Caf\xC3\xA9", platform::Rect{0, 0, 1, 1}, JSONValue(JSONValue::Object{})};
  AXReadSnapshot decomposed = composed;
  decomposed.focusedTitle = "Cafe\xCC\x81";
  EXPECT_EQ(composed, decomposed);
  decomposed.focusedFrame.width = 1.0000001;
  EXPECT_FALSE(composed == decomposed);
}

}  // namespace
}  // namespace pellucor
