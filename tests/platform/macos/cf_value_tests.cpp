#include "platform/macos/cf_value.hpp"

#include <ApplicationServices/ApplicationServices.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "platform/macos/cf_object.hpp"

namespace pellucor::platform::macos {
namespace {

using Kind = PlatformValue::Kind;

CFRef<CFTypeRef> adopt(CFTypeRef value) { return CFRef<CFTypeRef>::adopt(value); }

template <typename T>
CFRef<CFTypeRef> number(CFNumberType type, T value) {
  return adopt(CFNumberCreate(kCFAllocatorDefault, type, &value));
}

CFRef<CFTypeRef> utf16(std::u16string_view units) {
  std::vector<UniChar> characters(units.begin(), units.end());
  return adopt(CFStringCreateWithCharacters(kCFAllocatorDefault, characters.data(),
                                            static_cast<CFIndex>(characters.size())));
}

CFRef<CFTypeRef> array(const std::vector<CFRef<CFTypeRef>>& items) {
  std::vector<const void*> values;
  for (const auto& item : items) values.push_back(item.get());
  return adopt(CFArrayCreate(kCFAllocatorDefault, values.data(), static_cast<CFIndex>(values.size()),
                             &kCFTypeArrayCallBacks));
}

CFRef<CFTypeRef> dictionary(const std::vector<std::pair<CFRef<CFTypeRef>, CFRef<CFTypeRef>>>& entries) {
  std::vector<const void*> keys;
  std::vector<const void*> values;
  for (const auto& [key, value] : entries) {
    keys.push_back(key.get());
    values.push_back(value.get());
  }
  return adopt(CFDictionaryCreate(kCFAllocatorDefault, keys.data(), values.data(), static_cast<CFIndex>(keys.size()),
                                  &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
}

CFRef<CFTypeRef> boolean(bool value) { return CFRef<CFTypeRef>::retain(value ? kCFBooleanTrue : kCFBooleanFalse); }

CFRef<CFTypeRef> text(const char* value) { return CFRef<CFTypeRef>::retain(makeCFString(value).get()); }

PlatformValue dictionaryOf(std::vector<std::pair<std::string, PlatformValue>> entries) {
  PlatformValue value;
  value.kind = Kind::dictionary;
  value.dictionary = std::move(entries);
  return value;
}

// Compares kind and the field the kind uses, recursively.
void expectSameValue(const PlatformValue& actual, const PlatformValue& expected, const std::string& where) {
  ASSERT_EQ(actual.kind, expected.kind) << where;
  switch (expected.kind) {
    case Kind::text:
    case Kind::other:
      EXPECT_EQ(actual.text, expected.text) << where;
      break;
    case Kind::boolean:
      EXPECT_EQ(actual.boolean, expected.boolean) << where;
      break;
    case Kind::integer:
      EXPECT_EQ(actual.integer, expected.integer) << where;
      break;
    case Kind::floating:
      if (std::isnan(expected.floating)) {
        EXPECT_TRUE(std::isnan(actual.floating)) << where;
      } else {
        EXPECT_EQ(actual.floating, expected.floating) << where;
      }
      break;
    case Kind::axValue:
      EXPECT_EQ(actual.axValue.type, expected.axValue.type) << where;
      EXPECT_EQ(actual.axValue.extractable, expected.axValue.extractable) << where;
      for (int i = 0; i < 4; ++i) EXPECT_EQ(actual.axValue.components[i], expected.axValue.components[i]) << where;
      break;
    case Kind::element:
      EXPECT_NE(actual.element, nullptr) << where;
      break;
    case Kind::list:
      ASSERT_EQ(actual.list.size(), expected.list.size()) << where;
      for (std::size_t i = 0; i < expected.list.size(); ++i) {
        expectSameValue(actual.list[i], expected.list[i], where + "[" + std::to_string(i) + "]");
      }
      break;
    case Kind::dictionary:
      ASSERT_EQ(actual.dictionary.size(), expected.dictionary.size()) << where;
      for (std::size_t i = 0; i < expected.dictionary.size(); ++i) {
        EXPECT_EQ(actual.dictionary[i].first, expected.dictionary[i].first) << where;
        expectSameValue(actual.dictionary[i].second, expected.dictionary[i].second,
                        where + "." + expected.dictionary[i].first);
      }
      break;
  }
}

struct ValueCase {
  const char* name;
  std::function<CFRef<CFTypeRef>()> make;
  PlatformValue expected;
};

AXValueData axData(AXValueData::Type type, double a, double b, double c = 0, double d = 0) {
  AXValueData data;
  data.type = type;
  data.components[0] = a;
  data.components[1] = b;
  data.components[2] = c;
  data.components[3] = d;
  return data;
}

template <typename T>
CFRef<CFTypeRef> axValueOf(AXValueType type, T payload) {
  return adopt(AXValueCreate(type, &payload));
}

const std::vector<ValueCase>& valueCases() {
  static const std::vector<ValueCase> cases = {
      // Booleans and numbers must never be taken for each other.
      {"true is a Boolean", [] { return boolean(true); }, PlatformValue::makeBoolean(true)},
      {"false is a Boolean, not 0", [] { return boolean(false); }, PlatformValue::makeBoolean(false)},
      {"number 1 is an integer, not true", [] { return number(kCFNumberSInt32Type, std::int32_t{1}); },
       PlatformValue::makeInteger(1)},
      {"number 0 as a char is an integer", [] { return number(kCFNumberCharType, char{0}); },
       PlatformValue::makeInteger(0)},
      {"largest 64-bit integer", [] { return number(kCFNumberSInt64Type, std::numeric_limits<std::int64_t>::max()); },
       PlatformValue::makeInteger(std::numeric_limits<std::int64_t>::max())},
      {"negative integer", [] { return number(kCFNumberLongLongType, -42LL); }, PlatformValue::makeInteger(-42)},
      {"integral double stays floating", [] { return number(kCFNumberFloat64Type, 2.0); },
       PlatformValue::makeFloating(2.0)},
      {"integral CGFloat stays floating", [] { return number(kCFNumberCGFloatType, CGFloat{3}); },
       PlatformValue::makeFloating(3.0)},
      {"float 0.5", [] { return number(kCFNumberFloat32Type, 0.5f); }, PlatformValue::makeFloating(0.5)},
      {"positive infinity", [] { return CFRef<CFTypeRef>::retain(kCFNumberPositiveInfinity); },
       PlatformValue::makeFloating(std::numeric_limits<double>::infinity())},
      {"not a number", [] { return CFRef<CFTypeRef>::retain(kCFNumberNaN); },
       PlatformValue::makeFloating(std::numeric_limits<double>::quiet_NaN())},
      // Strings: every scalar kept, lone surrogates replaced.
      {"ASCII text", [] { return text("Save"); }, PlatformValue::makeText("Save")},
      {"empty text", [] { return text(""); }, PlatformValue::makeText("")},
      {"astral text", [] { return utf16(u"a\xD83D\xDE00"); }, PlatformValue::makeText("a\xF0\x9F\x98\x80")},
      {"lone high surrogate", [] { return utf16(u"a\xD83D" u"b"); }, PlatformValue::makeText("a\xEF\xBF\xBD" "b")},
      {"lone low surrogate at the end", [] { return utf16(u"a\xDE00"); }, PlatformValue::makeText("a\xEF\xBF\xBD")},
      {"leading U+FEFF kept", [] { return text("\xEF\xBB\xBFx"); }, PlatformValue::makeText("\xEF\xBB\xBFx")},
      // Accessibility values of each type.
      {"point", [] { return axValueOf(kAXValueTypeCGPoint, CGPoint{1.5, -2}); },
       PlatformValue::makeAXValue(axData(AXValueData::Type::point, 1.5, -2))},
      {"size", [] { return axValueOf(kAXValueTypeCGSize, CGSize{640, 480}); },
       PlatformValue::makeAXValue(axData(AXValueData::Type::size, 640, 480))},
      {"rect", [] { return axValueOf(kAXValueTypeCGRect, CGRect{{10, 20}, {30, 40}}); },
       PlatformValue::makeAXValue(axData(AXValueData::Type::rect, 10, 20, 30, 40))},
      {"range", [] { return axValueOf(kAXValueTypeCFRange, CFRange{3, 7}); },
       PlatformValue::makeAXValue(axData(AXValueData::Type::range, 3, 7))},
      {"error", [] { return axValueOf(kAXValueTypeAXError, kAXErrorNoValue); },
       PlatformValue::makeAXValue(axData(AXValueData::Type::error, -25212, 0))},
      // Containers.
      {"empty list", [] { return array({}); }, PlatformValue::makeList({})},
      {"nested list in order",
       [] { return array({number(kCFNumberIntType, 1), array({boolean(true), text("x")})}); },
       PlatformValue::makeList(
           {PlatformValue::makeInteger(1),
            PlatformValue::makeList({PlatformValue::makeBoolean(true), PlatformValue::makeText("x")})})},
      {"dictionary sorted by key, non-text key left out",
       [] {
         return dictionary({{text("b"), number(kCFNumberDoubleType, 2.0)},
                            {number(kCFNumberIntType, 5), text("dropped")},
                            {text("a"), dictionary({{text("inner"), array({text("y")})}})}});
       },
       dictionaryOf({{"a", dictionaryOf({{"inner", PlatformValue::makeList({PlatformValue::makeText("y")})}})},
                     {"b", PlatformValue::makeFloating(2.0)}})},
      // Anything else.
      {"null", [] { return CFRef<CFTypeRef>(); }, PlatformValue::makeOther("null")},
      {"date", [] { return adopt(CFDateCreate(kCFAllocatorDefault, 0)); }, PlatformValue::makeOther("CFDate")},
      {"data", [] { return adopt(CFDataCreate(kCFAllocatorDefault, nullptr, 0)); }, PlatformValue::makeOther("CFData")},
  };
  return cases;
}

TEST(PlatformValueConversion, ConvertsEachValueAsThePlatformTypesIt) {
  for (const auto& c : valueCases()) {
    const CFRef<CFTypeRef> value = c.make();
    expectSameValue(platformValue(value.get()), c.expected, c.name);
  }
}

TEST(PlatformValueConversion, ElementBecomesAHandleHoldingTheSameElement) {
  const auto element = adopt(AXUIElementCreateApplication(getpid()));
  const PlatformValue value = platformValue(element.get());
  ASSERT_EQ(value.kind, Kind::element);
  EXPECT_EQ(cfObjectOf<CFTypeRef>(value.element), element.get());
}

struct StringCase {
  const char* name;
  std::string_view utf8;
  std::u16string_view units;  // empty with `made` false: no string
  bool made;
};

constexpr StringCase kStringCases[] = {
    {"ASCII", "AXTitle", u"AXTitle", true},
    {"NUL kept", std::string_view("a\0b", 3), std::u16string_view(u"a\0b", 3), true},
    {"leading byte-order mark kept", "\xEF\xBB\xBFx", u"\uFEFFx", true},
    {"astral", "\xF0\x9F\x98\x80", u"\xD83D\xDE00", true},
    {"not UTF-8", "\xC0\xAF", u"", false},
};

TEST(MakeCFString, HoldsExactlyTheTextOrNothing) {
  for (const auto& c : kStringCases) {
    const auto string = makeCFString(c.utf8);
    ASSERT_EQ(static_cast<bool>(string), c.made) << c.name;
    if (!string) continue;
    const CFIndex length = CFStringGetLength(string.get());
    std::vector<UniChar> units(static_cast<std::size_t>(length));
    CFStringGetCharacters(string.get(), CFRangeMake(0, length), units.data());
    EXPECT_EQ(std::u16string(units.begin(), units.end()), c.units) << c.name;
    EXPECT_EQ(utf8String(string.get()), c.utf8) << c.name;
  }
}

}  // namespace
}  // namespace pellucor::platform::macos
