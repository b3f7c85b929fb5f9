#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "simulated_desktop_fixture.hpp"

namespace pellucor::simulated {
namespace {

using platform::AXResult;
using platform::AXValueData;
using platform::PlatformValue;
using testing::desktopFrom;
using Kind = PlatformValue::Kind;

// The AXTitle attribute of the focused window of pid 7, whose attributes the
// test writes.
AXResult readAttribute(const std::string& attributes, std::string_view attribute) {
  const auto services =
      desktopFrom(R"({"focused_windows": {"7": {"attributes": )" + attributes + "}}}")->services();
  const auto application = services.accessibility->createApplicationElement(7);
  const AXResult window = services.accessibility->copyAttributeValue(application, "AXFocusedWindow");
  EXPECT_EQ(window.status, 0);
  EXPECT_TRUE(window.value && window.value->kind == Kind::element);
  return services.accessibility->copyAttributeValue(window.value->element, attribute);
}

PlatformValue valueOf(const std::string& valueJson) {
  const AXResult result = readAttribute(R"({"AXValue": )" + valueJson + "}", "AXValue");
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(result.value.has_value());
  return result.value.value_or(PlatformValue());
}

// Equal with NaN equal to NaN, so that non-finite components can be compared.
bool sameNumber(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

struct ScalarCase {
  const char* name;
  const char* json;
  Kind kind;
  std::string text;
  bool boolean;
  std::int64_t integer;
  double floating;
};

class TypedScalarValues : public ::testing::TestWithParam<ScalarCase> {};

TEST_P(TypedScalarValues, AreTypedAsThePlatformTypesThem) {
  const ScalarCase& c = GetParam();
  const PlatformValue value = valueOf(c.json);
  ASSERT_EQ(value.kind, c.kind);
  switch (c.kind) {
    case Kind::text:
    case Kind::other:
      EXPECT_EQ(value.text, c.text);
      break;
    case Kind::boolean:
      EXPECT_EQ(value.boolean, c.boolean);
      break;
    case Kind::integer:
      EXPECT_EQ(value.integer, c.integer);
      break;
    case Kind::floating:
      EXPECT_TRUE(sameNumber(value.floating, c.floating)) << value.floating;
      break;
    case Kind::axValue:
    case Kind::element:
    case Kind::list:
    case Kind::dictionary:
      FAIL() << "not a scalar case";
  }
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Cases, TypedScalarValues,
    ::testing::Values(ScalarCase{"String", R"("Zorvane")", Kind::text, "Zorvane", false, 0, 0},
                      ScalarCase{"True", "true", Kind::boolean, "", true, 0, 0},
                      ScalarCase{"False", "false", Kind::boolean, "", false, 0, 0},
                      ScalarCase{"Integer", "-42", Kind::integer, "", false, -42, 0},
                      ScalarCase{"LargestInteger", "9223372036854775807", Kind::integer, "", false,
                                 std::numeric_limits<std::int64_t>::max(), 0},
                      ScalarCase{"Fraction", "2.5", Kind::floating, "", false, 0, 2.5},
                      ScalarCase{"WholeFraction", "3.0", Kind::floating, "", false, 0, 3.0},
                      ScalarCase{"Exponent", "1e3", Kind::floating, "", false, 0, 1000.0},
                      ScalarCase{"NumberOfInteger", R"({"number": 3})", Kind::floating, "", false, 0, 3.0},
                      ScalarCase{"NumberNaN", R"({"number": "nan"})", Kind::floating, "", false, 0, kNaN},
                      ScalarCase{"NumberInf", R"({"number": "inf"})", Kind::floating, "", false, 0, kInf},
                      ScalarCase{"NumberMinusInf", R"({"number": "-inf"})", Kind::floating, "", false, 0, -kInf},
                      ScalarCase{"Other", R"({"other": "CFDate"})", Kind::other, "CFDate", false, 0, 0}),
    [](const ::testing::TestParamInfo<ScalarCase>& row) { return std::string(row.param.name); });

struct AXValueCase {
  const char* name;
  const char* json;
  AXValueData::Type type;
  std::array<double, 4> components;
  bool extractable;
};

class TypedAccessibilityValues : public ::testing::TestWithParam<AXValueCase> {};

TEST_P(TypedAccessibilityValues, CarryTheirKindAndComponents) {
  const AXValueCase& c = GetParam();
  const PlatformValue value = valueOf(c.json);
  ASSERT_EQ(value.kind, Kind::axValue);
  EXPECT_EQ(value.axValue.type, c.type);
  EXPECT_EQ(value.axValue.extractable, c.extractable);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_TRUE(sameNumber(value.axValue.components[i], c.components[i])) << "component " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TypedAccessibilityValues,
    ::testing::Values(
        AXValueCase{"Point", R"({"point": [10, 20.5]})", AXValueData::Type::point, {10, 20.5, 0, 0}, true},
        AXValueCase{"Size", R"({"size": [1280, 800]})", AXValueData::Type::size, {1280, 800, 0, 0}, true},
        AXValueCase{"NonFiniteSize", R"({"size": ["nan", "-inf"]})", AXValueData::Type::size, {kNaN, -kInf, 0, 0},
                    true},
        AXValueCase{"Rect", R"({"rect": [1, 2, 3, "inf"]})", AXValueData::Type::rect, {1, 2, 3, kInf}, true},
        AXValueCase{"Range", R"({"range": [4, 9]})", AXValueData::Type::range, {4, 9, 0, 0}, true},
        AXValueCase{"ValueError", R"({"value_error": true})", AXValueData::Type::error, {0, 0, 0, 0}, false}),
    [](const ::testing::TestParamInfo<AXValueCase>& row) { return std::string(row.param.name); });

TEST(TypedContainerValues, ListsHoldTypedValuesAndElementsHaveTheirOwnAttributes) {
  const PlatformValue list = valueOf(R"({"list": ["a", 1, {"element": {"attributes": {"AXRole": "AXButton"}}}]})");
  ASSERT_EQ(list.kind, Kind::list);
  ASSERT_EQ(list.list.size(), 3u);
  EXPECT_EQ(list.list[0].kind, Kind::text);
  EXPECT_EQ(list.list[1].kind, Kind::integer);
  ASSERT_EQ(list.list[2].kind, Kind::element);

  const auto services = desktopFrom("{}")->services();
  const AXResult role = services.accessibility->copyAttributeValue(list.list[2].element, "AXRole");
  ASSERT_TRUE(role.value.has_value());
  EXPECT_EQ(role.value->text, "AXButton");
}

TEST(SimulatedElements, AnswerListedUnlistedAndFailingAttributes) {
  const std::string attributes = R"({"AXTitle": "Main", "AXSubrole": {"error": -25212}, "AXDescription": null})";
  const AXResult title = readAttribute(attributes, "AXTitle");
  EXPECT_EQ(title.status, 0);
  ASSERT_TRUE(title.value.has_value());
  EXPECT_EQ(title.value->text, "Main");

  const AXResult failing = readAttribute(attributes, "AXSubrole");
  EXPECT_EQ(failing.status, -25212);
  EXPECT_FALSE(failing.value.has_value());

  const AXResult noValue = readAttribute(attributes, "AXDescription");
  EXPECT_EQ(noValue.status, 0);
  EXPECT_FALSE(noValue.value.has_value());

  const AXResult unlisted = readAttribute(attributes, "AXIdentifier");
  EXPECT_EQ(unlisted.status, -25205);
  EXPECT_FALSE(unlisted.value.has_value());
}

TEST(SimulatedElements, ChildrenAreTheChildListEitherWay) {
  const auto services = desktopFrom(R"({"focused_windows": {
    "7": {"children": [{"attributes": {"AXRole": "AXGroup"}}, {}]},
    "8": {"attributes": {"AXChildren": {"list": ["not an element"]}}}}})")
                            ->services();
  for (const auto& [pid, expectedKinds] :
       std::vector<std::pair<std::int32_t, std::vector<Kind>>>{{7, {Kind::element, Kind::element}}, {8, {Kind::text}}}) {
    const auto window = services.accessibility->copyAttributeValue(
        services.accessibility->createApplicationElement(pid), "AXFocusedWindow");
    const AXResult children = services.accessibility->copyAttributeValue(window.value->element, "AXChildren");
    EXPECT_EQ(children.status, 0);
    ASSERT_TRUE(children.value && children.value->kind == Kind::list) << "pid " << pid;
    ASSERT_EQ(children.value->list.size(), expectedKinds.size());
    for (std::size_t i = 0; i < expectedKinds.size(); ++i) EXPECT_EQ(children.value->list[i].kind, expectedKinds[i]);
  }
}

TEST(SimulatedElements, ActionNamesAreAListOfTextsAnotherListOrAFailure) {
  const auto services = desktopFrom(R"({"focused_windows": {
    "1": {"actions": ["AXPress", "AXRaise"]},
    "2": {"actions": ["AXPress", 3]},
    "3": {"actions": {"error": -25204}},
    "4": {}}})")
                            ->services();
  const auto actionsOf = [&services](std::int32_t pid) {
    const auto window = services.accessibility->copyAttributeValue(
        services.accessibility->createApplicationElement(pid), "AXFocusedWindow");
    return services.accessibility->copyActionNames(window.value->element);
  };
  const AXResult texts = actionsOf(1);
  ASSERT_TRUE(texts.value.has_value());
  ASSERT_EQ(texts.value->list.size(), 2u);
  EXPECT_EQ(texts.value->list[1].text, "AXRaise");

  const AXResult mixed = actionsOf(2);
  ASSERT_TRUE(mixed.value.has_value());
  EXPECT_EQ(mixed.value->list[1].kind, Kind::integer);

  const AXResult failing = actionsOf(3);
  EXPECT_EQ(failing.status, -25204);
  EXPECT_FALSE(failing.value.has_value());

  const AXResult absent = actionsOf(4);
  EXPECT_EQ(absent.status, 0);
  ASSERT_TRUE(absent.value.has_value());
  EXPECT_TRUE(absent.value->list.empty());
}

TEST(SimulatedFocusedWindows, AnswerElementsFailuresValuesAndUnlistedProcesses) {
  const auto services = desktopFrom(R"({"focused_windows": {
    "1": {"error": -25211},
    "2": {"value": null},
    "3": {"value": "a text, not an element"}}})")
                            ->services();
  const auto focusedOf = [&services](std::int32_t pid) {
    return services.accessibility->copyAttributeValue(services.accessibility->createApplicationElement(pid),
                                                      "AXFocusedWindow");
  };
  EXPECT_EQ(focusedOf(1).status, -25211);
  EXPECT_FALSE(focusedOf(1).value.has_value());
  EXPECT_EQ(focusedOf(2).status, 0);
  EXPECT_FALSE(focusedOf(2).value.has_value());
  ASSERT_TRUE(focusedOf(3).value.has_value());
  EXPECT_EQ(focusedOf(3).value->kind, Kind::text);
  EXPECT_EQ(focusedOf(4).status, -25204);
  EXPECT_FALSE(focusedOf(4).value.has_value());
}

TEST(SimulatedSequences, FocusedWindowReadsTakeTheEntriesInTurnThenKeepTheLast) {
  const auto services = desktopFrom(R"({"focused_windows": {
    "501": [{"attributes": {"AXTitle": "First"}}, {"error": -25204}, {"attributes": {"AXTitle": "Last"}}],
    "502": {"attributes": {"AXTitle": "Other"}}}})")
                            ->services();
  const auto& accessibility = services.accessibility;
  const auto titleOf = [&accessibility](std::int32_t pid) -> std::string {
    const AXResult window =
        accessibility->copyAttributeValue(accessibility->createApplicationElement(pid), "AXFocusedWindow");
    if (!window.value) return "error " + std::to_string(window.status);
    return accessibility->copyAttributeValue(window.value->element, "AXTitle").value->text;
  };
  EXPECT_EQ(titleOf(501), "First");
  // Another process and other attributes are separate questions.
  EXPECT_EQ(titleOf(502), "Other");
  EXPECT_EQ(titleOf(501), "error -25204");
  EXPECT_EQ(titleOf(501), "Last");
  EXPECT_EQ(titleOf(501), "Last");
  EXPECT_EQ(titleOf(502), "Other");
}

TEST(SimulatedSequences, FrontmostQuestionsTakeTheEntriesInTurnThenKeepTheLast) {
  const auto workspace = desktopFrom(R"({"frontmost": [
    {"pid": 501, "bundle_id": "com.brevant.zorvane", "name": "Zorvane"},
    null,
    {"pid": 77, "bundle_id": null}]})")
                             ->services()
                             .workspace;
  const auto first = workspace->frontmostApplication();
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->pid, 501);
  EXPECT_EQ(first->bundleIdentifier, "com.brevant.zorvane");
  EXPECT_EQ(first->localizedName, "Zorvane");
  EXPECT_FALSE(workspace->frontmostApplication().has_value());
  for (int later = 0; later < 2; ++later) {
    const auto last = workspace->frontmostApplication();
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->pid, 77);
    EXPECT_FALSE(last->bundleIdentifier.has_value());
    EXPECT_FALSE(last->localizedName.has_value());
  }
}

TEST(SimulatedSequences, NoFrontmostApplicationWhenAbsentOrNull) {
  EXPECT_FALSE(desktopFrom("{}")->services().workspace->frontmostApplication().has_value());
  EXPECT_FALSE(desktopFrom(R"({"frontmost": null})")->services().workspace->frontmostApplication().has_value());
}

TEST(SimulatedAccessibility, TrustAnswersComeFromTheFileAndDefaultToFalse) {
  const auto defaults = desktopFrom("{}")->services().accessibility;
  EXPECT_FALSE(defaults->isProcessTrusted());
  EXPECT_FALSE(defaults->isProcessTrustedWithPrompt());
  const auto given = desktopFrom(R"({"accessibility": {"trusted": true, "prompt_answer": false}})")
                         ->services()
                         .accessibility;
  EXPECT_TRUE(given->isProcessTrusted());
  EXPECT_FALSE(given->isProcessTrustedWithPrompt());
}

}  // namespace
}  // namespace pellucor::simulated
