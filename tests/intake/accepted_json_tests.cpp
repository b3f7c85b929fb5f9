#include "intake/accepted_json.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "intake/strict_json_scanner.hpp"

namespace pellucor::accepted_json {
namespace {

// A document as "key=kind:raw" lines, members and elements one level deep.
std::string describe(const Value& value) {
  const char* kinds[] = {"string", "integer", "boolean", "null", "object", "array"};
  return std::string(kinds[static_cast<int>(value.kind)]) + ":" + std::string(value.raw);
}

std::vector<std::string> membersOf(Reader& reader) {
  std::vector<std::string> out;
  std::string_view key;
  std::string scratch;
  reader.enter();
  while (reader.member(key, scratch)) {
    const std::string name(key);
    out.push_back(name + "=" + describe(reader.value()));
  }
  return out;
}

std::vector<std::string> elementsOf(Reader& reader) {
  std::vector<std::string> out;
  reader.enter();
  while (reader.element()) out.push_back(describe(reader.value()));
  return out;
}

TEST(AcceptedJSON, ReadsMembersAndElementsAsWritten) {
  const std::string text =
      " {\"a\\/b\" : \"x\" ,\"n\":[ -0 , 123456789012345678901234567890,{\"k\":[]} ],\"t\":true,"
      "\"f\":false,\"z\":null,\"o\":{ },\"e\\u0301\":\"\\\"}\"} ";
  ASSERT_NO_THROW(StrictJSONScanner(text).validate());
  {
    Reader whole(text);
    EXPECT_EQ(whole.kind(), Kind::object);
    EXPECT_EQ(whole.value().raw, text.substr(1, text.size() - 2));
  }
  Reader reader(text);
  EXPECT_EQ(membersOf(reader), (std::vector<std::string>{
                                   "a/b=string:\"x\"",
                                   "n=array:[ -0 , 123456789012345678901234567890,{\"k\":[]} ]",
                                   "t=boolean:true",
                                   "f=boolean:false",
                                   "z=null:null",
                                   "o=object:{ }",
                                   "e\xCC\x81=string:\"\\\"}\"",
                               }));

  // Entering a member's value reads it in place; the walk then goes on.
  Reader nested(text);
  std::string_view key;
  std::string scratch;
  nested.enter();
  ASSERT_TRUE(nested.member(key, scratch));
  nested.value();
  ASSERT_TRUE(nested.member(key, scratch));
  EXPECT_EQ(key, "n");
  EXPECT_EQ(elementsOf(nested), (std::vector<std::string>{"integer:-0", "integer:123456789012345678901234567890",
                                                          "object:{\"k\":[]}"}));
  ASSERT_TRUE(nested.member(key, scratch));
  EXPECT_EQ(key, "t");

  for (const char* empty : {"[]", "[ ]"}) {
    Reader array(empty);
    EXPECT_TRUE(elementsOf(array).empty()) << empty;
  }
  Reader object("{ }");
  EXPECT_TRUE(membersOf(object).empty());
}

TEST(AcceptedJSON, DecodesEveryEscape) {
  const struct {
    const char* name;
    std::string written;
    std::string decoded;
  } cases[] = {
      {"no escape", R"("plain /text")", "plain /text"},
      {"short escapes", R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t"},
      {"unicode escapes", R"("\u0041\u00e9\u20AC")", "A\xC3\xA9\xE2\x82\xAC"},
      {"surrogate pair", R"("\ud83d\ude00!")", "\xF0\x9F\x98\x80!"},
      {"escaped NUL", R"("a\u0000b")", std::string("a\0b", 3)},
      {"raw non-ASCII kept", "\"caf\xC3\xA9\\n\"", "caf\xC3\xA9\n"},
      {"empty", R"("")", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_THROW(StrictJSONScanner(c.written).validate());
    std::string scratch;
    EXPECT_EQ(text(Reader(c.written).value(), scratch), c.decoded);
  }
}

}  // namespace
}  // namespace pellucor::accepted_json
