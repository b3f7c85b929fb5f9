#include "native/ax_tree_walk.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <string>

#include "native/error_outcome.hpp"
#include "native/reference_ax_walk.hpp"
#include "support/fake_accessibility_service.hpp"
#include "support/fake_clock.hpp"
#include "support/random_ax_tree.hpp"
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

class AXTreeWalkTest : public ::testing::Test {
 protected:
  MonotonicDeadline deadline(double seconds = 5) const {
    return MonotonicDeadline(seconds, [clock = clock_] { return clock->uptimeNanoseconds(); });
  }
  AXWalkResult walk(const std::shared_ptr<FakeAXElement>& window) { return encodeAX(service_, window, deadline()); }
  std::string walkJSON(const std::shared_ptr<FakeAXElement>& window) { return json::encode(walk(window).tree); }
  std::string walkFailure(const std::shared_ptr<FakeAXElement>& window) {
    return failureOf([&] { walk(window); });
  }

  // A chain of `levels` elements below `window`; returns the deepest.
  static std::shared_ptr<FakeAXElement> chain(const std::shared_ptr<FakeAXElement>& window, int levels) {
    auto current = window;
    for (int i = 0; i < levels; ++i) current = current->addChild();
    return current;
  }

  std::shared_ptr<testing::FakeClock> clock_ = std::make_shared<testing::FakeClock>();
  testing::FakeAccessibilityService service_;
};

TEST_F(AXTreeWalkTest, AnElementWithNothingReadableIsTheEmptyObject) {
  EXPECT_EQ(walkJSON(FakeAXElement::make()), "{}");
}

TEST_F(AXTreeWalkTest, ReadsEveryAttributeUnderItsMemberNameAndLeavesOutFailedReads) {
  auto window = FakeAXElement::make();
  window->set("AXRole", axText("AXWindow"))
      .set("AXSubrole", axText("AXStandardWindow"))
      .set("AXTitle", axText(""))
      .set("AXDescription", axText("main"))
      .set("AXIdentifier", PlatformValue::makeInteger(42))
      .set("AXValue", PlatformValue::makeFloating(-2.9))
      .set("AXEnabled", PlatformValue::makeBoolean(true))
      .set("AXFocused", PlatformValue::makeBoolean(false))
      .set("AXPosition", axPoint(10.7, -3.2))
      .set("AXSize", axSize(800.9, 600))
      .set("AXHelp", axText("never asked for"));
  EXPECT_EQ(walkJSON(window),
            "{\"description\":\"main\",\"enabled\":true,\"focused\":false,\"identifier\":42,"
            "\"position\":{\"x\":10,\"y\":-3},\"role\":\"AXWindow\",\"size\":{\"height\":600,\"width\":800},"
            "\"subrole\":\"AXStandardWindow\",\"title\":\"\",\"value\":-2}");

  auto sparse = FakeAXElement::make();
  sparse->setStatus("AXRole", -25212)
      .setAnswer("AXTitle", AXResult{0, std::nullopt})
      .set("AXDescription", PlatformValue::makeOther("CFData"));
  EXPECT_EQ(walkJSON(sparse), "{}");
}

struct ValueCase {
  const char* name;
  PlatformValue value;
  std::optional<JSONValue> expected;
};

class AXValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(AXValueTest, ConvertsByPlatformType) {
  const auto converted = axValue(GetParam().value);
  ASSERT_EQ(converted.has_value(), GetParam().expected.has_value());
  if (converted) {
    EXPECT_EQ(json::encode(*converted), json::encode(*GetParam().expected));
  }
}

JSONValue object(std::initializer_list<std::pair<const std::string, JSONValue>> members) {
  return JSONValue(JSONValue::Object(members));
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Values, AXValueTest,
    ::testing::Values(
        ValueCase{"Text", axText("Play\tNow"), JSONValue("Play\\u{0009}Now")},
        ValueCase{"EmptyText", axText(""), JSONValue("")},
        ValueCase{"BooleanIsNeverAnInteger", PlatformValue::makeBoolean(true), JSONValue(true)},
        ValueCase{"Integer", PlatformValue::makeInteger(-7), JSONValue(std::int64_t{-7})},
        ValueCase{"FractionTruncated", PlatformValue::makeFloating(2.9), JSONValue(std::int64_t{2})},
        ValueCase{"NegativeFractionTowardZero", PlatformValue::makeFloating(-2.9), JSONValue(std::int64_t{-2})},
        ValueCase{"NegativeZero", PlatformValue::makeFloating(-0.0), JSONValue(std::int64_t{0})},
        ValueCase{"LowestInteger", PlatformValue::makeFloating(-9223372036854775808.0),
                  JSONValue(std::numeric_limits<std::int64_t>::min())},
        ValueCase{"TwoToTheSixtyThird", PlatformValue::makeFloating(9223372036854775808.0), std::nullopt},
        ValueCase{"FarBeyondRange", PlatformValue::makeFloating(-1e19), std::nullopt},
        ValueCase{"NotANumber", PlatformValue::makeFloating(kNaN), std::nullopt},
        ValueCase{"Infinity", PlatformValue::makeFloating(kInfinity), std::nullopt},
        ValueCase{"Point", axPoint(10.7, -3.2), object({{"x", JSONValue(std::int64_t{10})}, {"y", JSONValue(std::int64_t{-3})}})},
        ValueCase{"Size", axSize(0, 300.5),
                  object({{"width", JSONValue(std::int64_t{0})}, {"height", JSONValue(std::int64_t{300})}})},
        ValueCase{"PointNotFinite", axPoint(kNaN, 1), std::nullopt},
        ValueCase{"SizeBeyondRange", axSize(1, 1e300), std::nullopt},
        ValueCase{"PointNotExtractable", axValueOf(AXValueData::Type::point, {1, 2}, false), std::nullopt},
        ValueCase{"Rect", axValueOf(AXValueData::Type::rect, {1, 2, 3, 4}), std::nullopt},
        ValueCase{"Range", axValueOf(AXValueData::Type::range, {0, 4}), std::nullopt},
        ValueCase{"AXError", axValueOf(AXValueData::Type::error, {}), std::nullopt},
        ValueCase{"ElementReference", PlatformValue::makeElement(FakeAXElement::make()), std::nullopt},
        ValueCase{"List", PlatformValue::makeList({axText("a")}), std::nullopt},
        ValueCase{"Other", PlatformValue::makeOther("CFDate"), std::nullopt}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(AXTreeWalkTest, ActionNamesAreEscapedInOrderOnlyFromAListOfTexts) {
  struct Case {
    const char* name;
    AXResult answer;
    std::string expected;
  };
  const Case cases[] = {
      {"Names", AXResult{0, PlatformValue::makeList({axText("AXPress"), axText("AX\xE2\x80\xAEShow"), axText("a/b")})},
       "{\"actions\":[\"AXPress\",\"AX\\\\u{202E}Show\",\"a/b\"]}"},
      {"EmptyList", AXResult{0, PlatformValue::makeList({})}, "{}"},
      {"CallFails", AXResult{-25204, std::nullopt}, "{}"},
      {"NoValue", AXResult{0, std::nullopt}, "{}"},
      {"NotAList", AXResult{0, axText("AXPress")}, "{}"},
      {"ListWithANumber", AXResult{0, PlatformValue::makeList({axText("AXPress"), PlatformValue::makeInteger(1)})},
       "{}"},
  };
  for (const auto& c : cases) {
    auto element = FakeAXElement::make();
    element->setActionsAnswer(c.answer);
    EXPECT_EQ(walkJSON(element), c.expected) << c.name;
  }
}

TEST_F(AXTreeWalkTest, ChildrenComeInPlatformOrderOnlyFromAListOfElements) {
  auto window = FakeAXElement::make();
  window->addChild()->set("AXRole", axText("first"));
  window->addChild()->set("AXRole", axText("second"));
  window->children()[0]->addChild()->set("AXRole", axText("nested"));
  EXPECT_EQ(walkJSON(window),
            "{\"children\":[{\"children\":[{\"role\":\"nested\"}],\"role\":\"first\"},{\"role\":\"second\"}]}");

  struct Case {
    const char* name;
    AXResult answer;
  };
  const Case refused[] = {
      {"CallFails", AXResult{-25205, std::nullopt}},
      {"NoValue", AXResult{0, std::nullopt}},
      {"NotAList", AXResult{0, axText("children")}},
      {"EmptyList", AXResult{0, PlatformValue::makeList({})}},
      {"ListWithAText", AXResult{0, PlatformValue::makeList({PlatformValue::makeElement(FakeAXElement::make()),
                                                             axText("x")})}},
      {"ListWithANullElement", AXResult{0, PlatformValue::makeList({PlatformValue::makeElement(nullptr)})}},
  };
  for (const auto& c : refused) {
    auto element = FakeAXElement::make();
    element->addChild();
    element->setAnswer("AXChildren", c.answer);
    EXPECT_EQ(walkJSON(element), "{}") << c.name;
  }
}

TEST_F(AXTreeWalkTest, TwelveLevelsBelowTheWindowAreAcceptedAndThirteenRefused) {
  auto accepted = FakeAXElement::make();
  chain(accepted, 12)->set("AXRole", axText("deepest"));
  EXPECT_EQ(walkFailure(accepted), "succeeded");

  auto refused = FakeAXElement::make();
  chain(refused, 13);
  EXPECT_EQ(walkFailure(refused), "ax_too_deep / AX tree exceeds depth 12");
}

TEST_F(AXTreeWalkTest, FiveHundredElementsAreAcceptedAndTheFiveHundredFirstRefused) {
  auto accepted = FakeAXElement::make();
  for (int i = 0; i < 499; ++i) accepted->addChild();
  EXPECT_EQ(walk(accepted).tree.find("children")->asArray().size(), 499u);

  // Counted depth first: the extra element sits deep in the first subtree and
  // is the last one visited there, yet the walk stops at it.
  auto refused = FakeAXElement::make();
  for (int i = 0; i < 499; ++i) refused->addChild();
  chain(refused->children()[0], 1);
  EXPECT_EQ(walkFailure(refused), "ax_too_many_nodes / AX tree exceeds 500 nodes");
}

// A window holding 256 children whose titles total a chosen length:
// {"children":[{"title":"…"},…]} measures 3342 bytes plus the title bytes.
std::shared_ptr<FakeAXElement> windowOfTitles(std::size_t lastTitleBytes, char lastTitleByte = 'a') {
  auto window = FakeAXElement::make();
  for (int i = 0; i < 255; ++i) window->addChild()->set("AXTitle", axText(std::string(4096, 'a')));
  std::string last(lastTitleBytes, 'a');
  if (!last.empty()) last.back() = lastTitleByte;
  window->addChild()->set("AXTitle", axText(last));
  return window;
}

TEST_F(AXTreeWalkTest, ATreeOfExactlyTheBudgetIsAcceptedAndOneByteMoreRefused) {
  const AXWalkResult exact = walk(windowOfTitles(754));
  EXPECT_EQ(exact.measuredSize, 1048576u);
  EXPECT_EQ(json::measuredSize(exact.tree), 1048576u);

  EXPECT_EQ(walkFailure(windowOfTitles(755)), "ax_too_large / complete AX JSON exceeds 1 MiB");
  // The same length with one slash: the measuring form counts it twice.
  EXPECT_EQ(walkFailure(windowOfTitles(754, '/')), "ax_too_large / complete AX JSON exceeds 1 MiB");
}

TEST_F(AXTreeWalkTest, AnOverlongTextFailsTheWholeWalk) {
  auto window = FakeAXElement::make();
  window->addChild()->set("AXDescription", axText(std::string(4097, 'a')));
  EXPECT_EQ(walkFailure(window), "ax_string_too_large / AX string exceeds 4096 UTF-8 bytes after safety escaping");
  auto actions = FakeAXElement::make();
  actions->setActions({"AXPress", std::string(513, '\t')});
  EXPECT_EQ(walkFailure(actions), "ax_string_too_large / AX string exceeds 4096 UTF-8 bytes after safety escaping");
}

TEST_F(AXTreeWalkTest, ADeadlinePassingDuringTheWalkEndsItBeforeTheNextElement) {
  auto window = FakeAXElement::make();
  window->addChild()->addChild();
  int reads = 0;
  service_.beforeAnswer = [&](std::string_view) {
    if (++reads == 12) clock_->advanceUptime(6'000'000'000);
  };
  EXPECT_EQ(walkFailure(window), "operation_timeout / operation exceeded its monotonic deadline");
  // The first element was finished (ten attributes, actions, children) and the
  // second refused on entry, before any of its attributes was asked for.
  EXPECT_EQ(reads, 12);
}

TEST_F(AXTreeWalkTest, TheDeadlineIsCheckedBeforeTheDepthLimit) {
  auto window = FakeAXElement::make();
  chain(window, 13);
  int childLists = 0;
  service_.beforeAnswer = [&](std::string_view attribute) {
    if (attribute == "AXChildren" && ++childLists == 13) clock_->advanceUptime(6'000'000'000);
  };
  EXPECT_EQ(walkFailure(window), "operation_timeout / operation exceeded its monotonic deadline");
}

class SeededChoices final : public testing::ChoiceSource {
 public:
  explicit SeededChoices(std::uint32_t seed) : random_(seed) {}
  std::uint32_t below(std::uint32_t bound) override {
    return std::uniform_int_distribution<std::uint32_t>(0, bound - 1)(random_);
  }

 private:
  std::mt19937 random_;
};

// Five kinds of random trees: hostile texts and depths; bushy trees of
// short texts around the element limit; small trees that mostly succeed;
// deep narrow ones around the depth limit; and, now and then, a heavy one of
// long plain texts around the size budget.
testing::RandomAXTreeShape shapeFor(std::uint32_t seed) {
  testing::RandomAXTreeShape shape;
  shape.illFormedOneIn = 0;
  if (seed % 32 == 1) {
    shape.minimumChildren = 3;
    shape.maximumChildren = 8;
    shape.maximumDepth = 5;
    shape.maximumElements = 60 + seed % 150;
    shape.longTextBytes = 4096;
    shape.longTextOneIn = 2;
    shape.escapesInLongTexts = false;
    shape.oddChildLists = false;
    return shape;
  }
  switch (seed % 4) {
    case 0:
      shape.maximumChildren = 3;
      shape.maximumElements = 150;
      shape.illFormedOneIn = 256;
      shape.longTextBytes = 4400;
      break;
    case 1:
      if (seed % 8 != 1) return shapeFor(seed + 1);
      shape.minimumChildren = 3;
      shape.maximumChildren = 8;
      shape.maximumDepth = 5;
      shape.maximumElements = 440 + seed % 100;
      shape.longTextBytes = 200;
      shape.oddChildLists = false;
      break;
    case 2:
      shape.maximumChildren = 3;
      shape.maximumDepth = 4;
      shape.longTextBytes = 300;
      break;
    default:
      shape.maximumChildren = 2;
      shape.maximumDepth = 14;
      shape.longTextBytes = 1000;
      shape.escapesInLongTexts = false;
      break;
  }
  return shape;
}

// On random trees of every shape, the walk ends exactly as the plain
// definition does (re-encoding the element after every addition): the same
// tree, or the same error; and its running figure is the tree's full
// measurement.
TEST_F(AXTreeWalkTest, EndsExactlyAsTheReEncodingDefinitionOnRandomTrees) {
  std::map<std::string, int> outcomes;
  for (std::uint32_t seed = 1; seed <= 160; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    SeededChoices choices(seed);
    const auto window = testing::buildRandomAXTree(choices, shapeFor(seed));

    std::string expected;
    try {
      expected = json::encode(testing::referenceEncodeAX(service_, window, deadline()));
    } catch (const PellucorError& error) {
      expected = error.code;
    }
    std::string actual;
    try {
      const AXWalkResult result = walk(window);
      ASSERT_EQ(result.measuredSize, json::measuredSize(result.tree));
      ASSERT_LE(result.measuredSize, 1048576u);
      actual = json::encode(result.tree);
      ++outcomes["succeeded"];
    } catch (const PellucorError& error) {
      actual = error.code;
      ++outcomes[error.code];
    }
    ASSERT_EQ(actual, expected);
  }
  // Every way a walk can end has been seen.
  for (const char* outcome : {"succeeded", "ax_too_deep", "ax_too_many_nodes", "ax_too_large", "ax_string_too_large",
                              "ax_encoding_failed"}) {
    EXPECT_GT(outcomes[outcome], 0) << outcome;
  }
}

}  // namespace
}  // namespace pellucor
