#include "native/ax_output_budget.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "native/error_outcome.hpp"
#include "wire/json_encoder.hpp"

namespace pellucor {
namespace {

using testing::failureOf;

TEST(AXOutputBudgetTest, CountsEverySlashAsTwoBytes) {
  const JSONValue value(JSONValue::Object{{"path", JSONValue("a/b/c")}});
  // {"path":"a\/b\/c"}
  EXPECT_EQ(AXOutputBudget::encodedSize(value), 18u);
  EXPECT_EQ(json::encode(value).size(), 16u);
}

TEST(AXOutputBudgetTest, RefusesTextsNoJSONCanHold) {
  const JSONValue badValue(JSONValue::Object{{"title", JSONValue(std::string("a\xFF"))}});
  const JSONValue badKey(JSONValue::Object{{std::string("\xC3"), JSONValue(true)}});
  const JSONValue deepBad(JSONValue::Array{JSONValue::Array{JSONValue(std::string("\xED\xA0\x80"))}});
  for (const auto* value : {&badValue, &badKey, &deepBad}) {
    EXPECT_EQ(failureOf([&] { AXOutputBudget::encodedSize(*value); }),
              "ax_encoding_failed / AX output could not be encoded");
  }
}

TEST(AXOutputBudgetTest, ExactlyTheBudgetIsWithinIt) {
  EXPECT_FALSE(AXOutputBudget::exceeds(1048576));
  EXPECT_TRUE(AXOutputBudget::exceeds(1048577));
}

// Builds random element objects the way the reader does, member by member,
// and after every single addition compares the running figure with a full
// measurement of the object as it stands.
class MeasuredObjectProperty {
 public:
  explicit MeasuredObjectProperty(std::uint32_t seed) : random_(seed) {}

  // Returns the measured size of the finished object, checked at every step.
  std::size_t build(MeasuredObject& object, int depth) {
    const std::vector<std::string> keys{"role", "title", "value", "position", "k/ey", "\xC3\xA9", "q\"uote"};
    for (const auto& key : keys) {
      if (coin(3)) continue;
      object.addMember(key, scalar());
      check(object);
    }
    if (coin(2)) {
      const int actions = below(4);
      for (int i = 0; i < actions; ++i) {
        const std::string name = text();
        object.appendToArray("actions", JSONValue(name), json::measuredStringSize(name));
        check(object);
      }
    }
    if (depth < 4) {
      const int children = below(4);
      for (int i = 0; i < children; ++i) {
        MeasuredObject child;
        const std::size_t size = build(child, depth + 1);
        object.appendToArray("children", child.release(), size);
        check(object);
      }
    }
    return object.size();
  }

 private:
  int below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random_); }
  bool coin(int oneIn) { return below(oneIn) == 0; }

  std::string text() {
    static const std::vector<std::string> pieces{"a", "/", "\"", "\\", "\\u{0009}", "\xC3\xA9", "\xF0\x9F\x98\x80", " "};
    std::string out;
    const int count = below(12);
    for (int i = 0; i < count; ++i) out += pieces[static_cast<std::size_t>(below(static_cast<int>(pieces.size())))];
    return out;
  }

  JSONValue scalar() {
    switch (below(5)) {
      case 0: return JSONValue(text());
      case 1: return JSONValue(coin(2));
      case 2: return JSONValue(static_cast<std::int64_t>(std::uniform_int_distribution<std::int64_t>()(random_)));
      case 3: return JSONValue(JSONValue::Object{{"x", JSONValue(std::int64_t{-3})}, {"y", JSONValue(std::int64_t{10})}});
      default: return JSONValue(JSONValue::Array{});
    }
  }

  void check(const MeasuredObject& object) {
    ASSERT_EQ(object.size(), json::measuredSize(JSONValue(object.members())));
  }

  std::mt19937 random_;
};

TEST(MeasuredObjectTest, RunningSizeEqualsAFullMeasurementAfterEveryAddition) {
  for (std::uint32_t seed = 1; seed <= 300; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    MeasuredObjectProperty property(seed);
    MeasuredObject object;
    const std::size_t size = property.build(object, 0);
    const JSONValue finished = object.release();
    ASSERT_EQ(size, json::measuredSize(finished));
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(MeasuredObjectTest, StartsAndRestartsAsTheEmptyObject) {
  MeasuredObject object;
  EXPECT_EQ(object.size(), 2u);
  object.addMember("a", JSONValue(true));
  EXPECT_EQ(json::encode(object.release()), "{\"a\":true}");
  EXPECT_EQ(object.size(), 2u);
  EXPECT_TRUE(object.members().empty());
}

TEST(MeasuredObjectTest, RefusesToOverwriteOrToAppendToANonArray) {
  MeasuredObject object;
  object.addMember("role", JSONValue("AXWindow"));
  EXPECT_THROW(object.addMember("role", JSONValue("AXButton")), std::logic_error);
  EXPECT_THROW(object.appendToArray("role", JSONValue("x"), 3), std::logic_error);
  EXPECT_EQ(object.size(), json::measuredSize(JSONValue(object.members())));
}

}  // namespace
}  // namespace pellucor
