#include "wire/json_value.hpp"

#include <gtest/gtest.h>

#include <type_traits>

#include "wire/records.hpp"

namespace pellucor {
namespace {

// Only the payload types of the tree convert implicitly; an int or a double
// would otherwise pick the Boolean or a surprising overload.
static_assert(!std::is_constructible_v<JSONValue, int>);
static_assert(!std::is_constructible_v<JSONValue, double>);
static_assert(!std::is_constructible_v<JSONValue, std::uint32_t>);
static_assert(std::is_constructible_v<JSONValue, std::int64_t>);

JSONValue integer(std::int64_t value) { return JSONValue(value); }

struct EqualityCase {
  const char* name;
  JSONValue a;
  JSONValue b;
  bool equal;
};

TEST(JSONValueEquality, SameCaseWithEqualPayloads) {
  const EqualityCase cases[] = {
      {"null and null", JSONValue(), JSONValue(), true},
      {"null and false", JSONValue(), JSONValue(false), false},
      {"zero and false", integer(0), JSONValue(false), false},
      {"one and the text one", integer(1), JSONValue("1"), false},
      {"integers by value", integer(-5), integer(-5), true},
      {"different integers", integer(5), integer(6), false},
      {"canonically equivalent texts", JSONValue("\xC3\xA9"), JSONValue("e\xCC\x81"), true},
      {"texts differing in case", JSONValue("a"), JSONValue("A"), false},
      {"members given in another order",
       JSONValue(JSONValue::Object{{"a", integer(1)}, {"b", integer(2)}}),
       JSONValue(JSONValue::Object{{"b", integer(2)}, {"a", integer(1)}}), true},
      {"equivalent keys",
       JSONValue(JSONValue::Object{{"\xC3\xA9", integer(1)}, {"z", integer(2)}}),
       JSONValue(JSONValue::Object{{"e\xCC\x81", integer(1)}, {"z", integer(2)}}), true},
      {"equivalent keys with different values",
       JSONValue(JSONValue::Object{{"\xC3\xA9", integer(1)}}),
       JSONValue(JSONValue::Object{{"e\xCC\x81", integer(2)}}), false},
      {"one member more", JSONValue(JSONValue::Object{{"a", integer(1)}}),
       JSONValue(JSONValue::Object{{"a", integer(1)}, {"b", JSONValue()}}), false},
      {"different key", JSONValue(JSONValue::Object{{"a", integer(1)}}),
       JSONValue(JSONValue::Object{{"b", integer(1)}}), false},
      {"arrays in order", JSONValue(JSONValue::Array{integer(1), integer(2)}),
       JSONValue(JSONValue::Array{integer(1), integer(2)}), true},
      {"arrays in another order", JSONValue(JSONValue::Array{integer(1), integer(2)}),
       JSONValue(JSONValue::Array{integer(2), integer(1)}), false},
      {"array prefix", JSONValue(JSONValue::Array{integer(1)}),
       JSONValue(JSONValue::Array{integer(1), integer(2)}), false},
      {"empty object and empty array", JSONValue(JSONValue::Object{}), JSONValue(JSONValue::Array{}), false},
      {"nested difference",
       JSONValue(JSONValue::Object{{"a", JSONValue(JSONValue::Array{JSONValue(JSONValue::Object{{"x", JSONValue()}})})}}),
       JSONValue(JSONValue::Object{{"a", JSONValue(JSONValue::Array{JSONValue(JSONValue::Object{{"x", JSONValue(false)}})})}}),
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.a == c.b, c.equal);
    EXPECT_EQ(c.b == c.a, c.equal);
  }
}

TEST(JSONValueFind, FindsMembersOfObjectsOnly) {
  const JSONValue object(JSONValue::Object{{"role", JSONValue("AXWindow")}});
  ASSERT_NE(object.find("role"), nullptr);
  EXPECT_EQ(object.find("role")->asString(), "AXWindow");
  EXPECT_EQ(object.find("Role"), nullptr);
  EXPECT_EQ(JSONValue("role").find("role"), nullptr);
  EXPECT_EQ(JSONValue(JSONValue::Array{}).find("role"), nullptr);
}

Target exampleTarget() {
  return Target{501, "com.brevant.zorvane", true, std::nullopt, "plugin.application",
                "0123456789abcdef01234567", "Caf\xC3\xA9", "1.0"};
}

TEST(RecordEquality, FieldWiseWithCanonicalTextsAndOptionalPresence) {
  const Target base = exampleTarget();
  Target decomposed = base;
  decomposed.applicationName = "Cafe\xCC\x81";
  EXPECT_EQ(base, decomposed);

  Target windowZero = base;
  windowZero.windowID = 0;
  EXPECT_NE(base, windowZero);
  Target windowOne = base;
  windowOne.windowID = 1;
  EXPECT_NE(windowZero, windowOne);

  Target notFrontmost = base;
  notFrontmost.frontmostRequired = false;
  EXPECT_NE(base, notFrontmost);

  Request a{"00000000-0000-4000-8000-000000000000", std::string(43, 'A'), PellucorOperation::hotkey, base,
            PhysicalKey::a, {KeyModifier::command, KeyModifier::shift}};
  Request b = a;
  EXPECT_EQ(a, b);
  b.modifiers = {KeyModifier::shift, KeyModifier::command};
  EXPECT_NE(a, b);
  b = a;
  b.key.reset();
  EXPECT_NE(a, b);

  EXPECT_EQ(PellucorError("c", "m"), PellucorError("c", "m", false));
  EXPECT_NE(PellucorError("c", "m"), PellucorError("c", "m", true));
  EXPECT_NE(PellucorError("c", "m"), PellucorError("c", "n"));
}

}  // namespace
}  // namespace pellucor
