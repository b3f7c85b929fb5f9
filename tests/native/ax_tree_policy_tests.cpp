#include "native/ax_tree_policy.hpp"

#include <gtest/gtest.h>

#include <string>

#include "target_fixture.hpp"

namespace pellucor {
namespace {

const std::string kDescription =
    "plugin.application application_id=0123456789abcdef01234567 application_name=Notes application_revision=r7";

Target target() { return testing::hostTarget(); }

JSONValue node(JSONValue identifier, JSONValue description, JSONValue::Array children = {}) {
  JSONValue::Object object{{"identifier", std::move(identifier)}, {"description", std::move(description)}};
  if (!children.empty()) object.emplace("children", std::move(children));
  return JSONValue(std::move(object));
}

JSONValue marker(const std::string& description = kDescription) {
  return node(JSONValue("plugin-application-browser-root"), JSONValue(description));
}

JSONValue parentOf(JSONValue::Array children) { return JSONValue(JSONValue::Object{{"children", std::move(children)}}); }

// `levels` plain elements above `inner`.
JSONValue nested(JSONValue inner, int levels) {
  for (int i = 0; i < levels; ++i) inner = parentOf({std::move(inner)});
  return inner;
}

TEST(AXTreePolicyTest, FindsTheMarkerAtTheRootOrNestedDeep) {
  EXPECT_TRUE(AXTreePolicy::markerMatches(marker(), target()));
  const JSONValue deep = parentOf({JSONValue(JSONValue::Object{}), nested(marker(), 11)});
  EXPECT_TRUE(AXTreePolicy::markerMatches(deep, target()));
  EXPECT_FALSE(AXTreePolicy::markerMatches(nested(JSONValue(JSONValue::Object{}), 12), target()));
}

TEST(AXTreePolicyTest, AcceptsOnlyTheExactDescription) {
  struct Case {
    const char* name;
    std::string description;
  };
  const Case nearMisses[] = {
      {"OneCharacter", "plugin.application application_id=0123456789abcdef01234568 application_name=Notes "
                       "application_revision=r7"},
      {"ExtraField", kDescription + " application_build=3"},
      {"FieldsReordered", "plugin.application application_name=Notes application_id=0123456789abcdef01234567 "
                          "application_revision=r7"},
      {"TrailingSpace", kDescription + " "},
      {"DoubleSpace", "plugin.application  application_id=0123456789abcdef01234567 application_name=Notes "
                      "application_revision=r7"},
      {"UpperCase", "Plugin.application application_id=0123456789abcdef01234567 application_name=Notes "
                    "application_revision=r7"},
      {"Prefix", "plugin.application application_id=0123456789abcdef01234567"},
      {"EscapedTab", "plugin.application\\u{0009}application_id=0123456789abcdef01234567 application_name=Notes "
                     "application_revision=r7"},
  };
  for (const auto& c : nearMisses) {
    EXPECT_FALSE(AXTreePolicy::markerMatches(marker(c.description), target())) << c.name;
    // The near miss is passed over and an exact marker deeper is still found.
    const JSONValue above = node(JSONValue("plugin-application-browser-root"), JSONValue(c.description),
                                 {nested(marker(), 3)});
    EXPECT_TRUE(AXTreePolicy::markerMatches(above, target())) << c.name;
  }
}

TEST(AXTreePolicyTest, RequiresTheExactIdentifier) {
  for (const char* identifier : {"plugin-application-browser-root ", "Plugin-application-browser-root",
                                 "plugin-application-browser", ""}) {
    EXPECT_FALSE(AXTreePolicy::markerMatches(node(JSONValue(identifier), JSONValue(kDescription)), target()))
        << identifier;
  }
}

TEST(AXTreePolicyTest, ComparesTextsByCanonicalEquivalence) {
  Target composed = target();
  composed.applicationName = "Caf\xC3\xA9";
  const std::string decomposed =
      "plugin.application application_id=0123456789abcdef01234567 application_name=Cafe\xCC\x81 "
      "application_revision=r7";
  EXPECT_TRUE(AXTreePolicy::markerMatches(marker(decomposed), composed));
  Target other = composed;
  other.applicationName = "Cafe";
  EXPECT_FALSE(AXTreePolicy::markerMatches(marker(decomposed), other));
}

TEST(AXTreePolicyTest, ReadsAnIdentifierGivenAsANumberByItsDecimalText) {
  EXPECT_EQ(AXTreePolicy::scalar(nullptr), std::nullopt);
  const JSONValue number(std::int64_t{-42});
  const JSONValue text("-42");
  const JSONValue boolean(true);
  const JSONValue object(JSONValue::Object{});
  EXPECT_EQ(AXTreePolicy::scalar(&number), "-42");
  EXPECT_EQ(AXTreePolicy::scalar(&text), "-42");
  EXPECT_EQ(AXTreePolicy::scalar(&boolean), std::nullopt);
  EXPECT_EQ(AXTreePolicy::scalar(&object), std::nullopt);

  // The marker's name is text, so an element whose identifier came as a
  // number is never the marker; the search goes on below it.
  const JSONValue numbered = node(JSONValue(std::int64_t{7}), JSONValue(kDescription), {marker()});
  EXPECT_TRUE(AXTreePolicy::markerMatches(numbered, target()));
  EXPECT_FALSE(AXTreePolicy::markerMatches(node(JSONValue(std::int64_t{7}), JSONValue(kDescription)), target()));
}

TEST(AXTreePolicyTest, SearchesOnlyObjectsThroughChildrenArrays) {
  EXPECT_FALSE(AXTreePolicy::markerMatches(JSONValue(kDescription), target()));
  EXPECT_FALSE(AXTreePolicy::markerMatches(JSONValue(JSONValue::Array{marker()}), target()));
  // "children" that is an object, not an array, is not searched.
  const JSONValue objectChildren(JSONValue::Object{{"children", JSONValue(JSONValue::Object{{"m", marker()}})}});
  EXPECT_FALSE(AXTreePolicy::markerMatches(objectChildren, target()));
  // A child that is not an object is skipped; its siblings are still searched.
  EXPECT_TRUE(AXTreePolicy::markerMatches(parentOf({JSONValue("x"), JSONValue(nullptr), marker()}), target()));
}

}  // namespace
}  // namespace pellucor
