#include "intake/strict_json_scanner.hpp"

#include "intake_outcome.hpp"

#include <gtest/gtest.h>

#include <string>

namespace pellucor {
namespace {

std::string outcome(const std::string& bytes) {
  return testing::intakeOutcome([&] { StrictJSONScanner(bytes).validate(); });
}

constexpr const char* kOk = "ok";
constexpr const char* kNotUtf8 = "invalid_json: request is not UTF-8";
constexpr const char* kMalformed = "invalid_json: malformed JSON";
constexpr const char* kTrailing = "invalid_json: trailing JSON data";
constexpr const char* kTooDeep = "json_too_deep: JSON depth exceeds 8";
constexpr const char* kTooMany = "too_many_members: object has more than 64 members";
constexpr const char* kDuplicate = "duplicate_key: duplicate JSON object key";
constexpr const char* kTooLong = "string_too_long: JSON string exceeds 4096 bytes";
constexpr const char* kNonInteger = "non_integer: all JSON numbers must be decimal integers";

std::string repeat(const std::string& piece, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

std::string nested(std::size_t levels, const std::string& inner) {
  return repeat("[", levels) + inner + repeat("]", levels);
}

std::string objectWithMembers(std::size_t count, const std::string& lastKey = "") {
  std::string out = "{";
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) out += ",";
    const std::string key = (i + 1 == count && !lastKey.empty()) ? lastKey : "k" + std::to_string(i);
    out += "\"" + key + "\":" + std::to_string(i);
  }
  return out + "}";
}

std::string quoted(const std::string& raw) { return "\"" + raw + "\""; }

struct ScanCase {
  const char* name;
  std::string bytes;
  const char* expected;
};

void expectOutcomes(const std::vector<ScanCase>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(outcome(c.bytes), c.expected);
  }
}

TEST(StrictJSONScanner, Utf8IsCheckedBeforeAnythingElse) {
  expectOutcomes({
      {"FF inside a string", "{\"a\":\"\xFF\"}", kNotUtf8},
      {"FF in broken JSON", "\xFF{", kNotUtf8},
      {"overlong slash", "[\"\xC0\xAF\"]", kNotUtf8},
      {"encoded surrogate after malformed JSON", "[1,,\xED\xA0\x80", kNotUtf8},
      {"too deep and not UTF-8", nested(9, "\xF4\x90\x80\x80"), kNotUtf8},
      {"truncated sequence at the end", "\"abc\xE2\x82", kNotUtf8},
      {"empty input is UTF-8 but no value", "", kMalformed},
      {"byte order mark is not whitespace", "\xEF\xBB\xBF{}", kMalformed},
      {"non-ASCII text is accepted", "[\"\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80\"]", kOk},
  });
}

TEST(StrictJSONScanner, WhitespaceAndTrailingData) {
  expectOutcomes({
      {"only whitespace", " \t\r\n", kMalformed},
      {"all four whitespace bytes around a value", " \t\r\n{}\n\r\t ", kOk},
      {"form feed is not whitespace", "\f{}", kMalformed},
      {"vertical tab is not whitespace", "{}\v", kTrailing},
      {"no-break space is not whitespace", "\xC2\xA0{}", kMalformed},
      {"trailing letter", "{\"a\":1} x", kTrailing},
      {"second value", "{}{}", kTrailing},
      {"literal run on at the top", "truex", kTrailing},
      {"number run on at the top", "1a", kTrailing},
      {"NUL after the value", std::string("{}\0", 3), kTrailing},
  });
}

TEST(StrictJSONScanner, DepthLimit) {
  expectOutcomes({
      {"seven arrays around a number", nested(7, "1"), kOk},
      {"eight arrays around a number", nested(8, "1"), kTooDeep},
      {"eight nested empty arrays", nested(8, ""), kOk},
      {"nine nested empty arrays", nested(9, ""), kTooDeep},
      {"eight nested objects, innermost empty", repeat("{\"a\":", 7) + "{}" + repeat("}", 7), kOk},
      {"eight nested objects around a number", repeat("{\"a\":", 8) + "1" + repeat("}", 8), kTooDeep},
      {"ninth level that is also malformed", nested(8, "").substr(0, 8) + "x", kTooDeep},
      {"ninth level at the end of input", repeat("[", 8), kTooDeep},
      {"eighth level at the end of input is malformed", repeat("[", 7), kMalformed},
      {"thousands of openings stop at the ninth", repeat("[", 20000), kTooDeep},
      {"siblings do not add up", "[" + nested(6, "1") + "," + nested(6, "2") + "]", kOk},
      {"siblings at depth eight", "[" + nested(6, "1,2,3") + "]", kOk},
  });
}

TEST(StrictJSONScanner, MemberLimitAndDuplicateKeys) {
  expectOutcomes({
      {"64 members", objectWithMembers(64), kOk},
      {"65 members", objectWithMembers(65), kTooMany},
      {"65th key repeats an earlier one", objectWithMembers(65, "k0"), kTooMany},
      {"65th key is malformed", objectWithMembers(64).substr(0, objectWithMembers(64).size() - 1) + ",\"a\\x\":1}",
       kMalformed},
      {"two objects of 64 members each", "[" + objectWithMembers(64) + "," + objectWithMembers(64) + "]", kOk},
      {"arrays have no element limit", "[" + repeat("0,", 5000) + "0]", kOk},
      {"same key twice", R"({"a":1,"a":2})", kDuplicate},
      {"same key once escaped", R"({"a":1,"\u0061":2})", kDuplicate},
      {"precomposed and decomposed e acute", R"({"\u00e9":1,"e\u0301":2})", kDuplicate},
      {"raw precomposed and escaped decomposed", "{\"\xC3\xA9\":1,\"e\\u0301\":2}", kDuplicate},
      {"K and the Kelvin sign", R"({"K":1,"\u212a":2})", kDuplicate},
      {"raw Kelvin sign and K", "{\"\xE2\x84\xAA\":1,\"K\":2}", kDuplicate},
      {"keys differing in case", R"({"k":1,"K":2})", kOk},
      {"compatibility-equal keys are different", "{\"\xEF\xAC\x81\":1,\"fi\":2}", kOk},
      {"escaped slash and slash", R"({"a/b":1,"a\/b":2})", kDuplicate},
      {"same key in two objects", R"({"a":{"a":1},"b":{"a":2}})", kOk},
      {"duplicate after a nested object", R"({"a":1,"b":{"c":1},"a":2})", kDuplicate},
      {"duplicate reported before the malformed value", R"({"a":1,"a":})", kDuplicate},
      {"empty key twice", R"({"":1,"":2})", kDuplicate},
  });
}

TEST(StrictJSONScanner, StringLengthLimit) {
  const std::string escapedE = "\\u00e9";  // six raw bytes
  expectOutcomes({
      {"4096 raw bytes", quoted(std::string(4096, 'x')), kOk},
      {"4097 raw bytes", quoted(std::string(4097, 'x')), kTooLong},
      {"4096 bytes of two-byte characters", quoted(repeat("\xC3\xA9", 2048)), kOk},
      {"one byte beyond in two-byte characters", quoted(repeat("\xC3\xA9", 2048) + "a"), kTooLong},
      {"escapes count as written: 4096", quoted(repeat(escapedE, 682) + "abcd"), kOk},
      {"escapes count as written: 4097", quoted(repeat(escapedE, 682) + "abcde"), kTooLong},
      {"a key is a string too", "{" + quoted(std::string(4097, 'k')) + ":1}", kTooLong},
      {"key of 4096 bytes", "{" + quoted(std::string(4096, 'k')) + ":1}", kOk},
      {"over-long and then a bad escape is malformed", quoted(std::string(5000, 'x') + "\\x"), kMalformed},
      {"over-long and unterminated is malformed", "\"" + std::string(5000, 'x'), kMalformed},
      {"over-long with an unpaired surrogate is too long", quoted(std::string(5000, 'x') + "\\ud800"), kTooLong},
  });
}

// Other texts than the request line (the client's responses) may be scanned
// with wider depth and string bounds; everything else stays as strict.
TEST(StrictJSONScanner, WidenedLimits) {
  const StrictJSONLimits wide{.maximumDepth = 12, .maximumStringBytes = 10000};
  const auto wideOutcome = [&](const std::string& bytes) {
    return testing::intakeOutcome([&] { StrictJSONScanner(bytes, wide).validate(); });
  };
  const std::vector<ScanCase> cases = {
      {"eleven arrays around a number", nested(11, "1"), kOk},
      {"twelve arrays around a number", nested(12, "1"), kTooDeep},
      {"thirteen nested empty arrays", nested(13, ""), kTooDeep},
      {"10000 raw bytes", quoted(std::string(10000, 'x')), kOk},
      {"10001 raw bytes", quoted(std::string(10001, 'x')), kTooLong},
      {"65 members are still too many", objectWithMembers(65), kTooMany},
      {"duplicates are still refused", R"({"a":1,"\u0061":2})", kDuplicate},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(wideOutcome(c.bytes), c.expected);
  }
}

TEST(StrictJSONScanner, StringSyntax) {
  expectOutcomes({
      {"raw tab", "\"a\tb\"", kMalformed},
      {"escaped tab", R"("a\tb")", kOk},
      {"raw NUL", std::string("\"a\0b\"", 5), kMalformed},
      {"raw unit separator", "\"\x1F\"", kMalformed},
      {"raw line feed", "\"a\nb\"", kMalformed},
      {"raw delete is allowed", "\"\x7F\"", kOk},
      {"every short escape", R"("\"\\\/\b\f\n\r\t")", kOk},
      {"hex escape", R"("\x41")", kMalformed},
      {"single-quote escape", R"("\'")", kMalformed},
      {"bad hex digit", R"("\u12G4")", kMalformed},
      {"upper-case hex digits", R"("\u00E9\uABCD")", kOk},
      {"escape cut off", R"("\u00")", kMalformed},
      {"backslash at the end of input", "\"\\", kMalformed},
      {"unterminated", "\"abc", kMalformed},
      {"single quotes", "'a'", kMalformed},
      {"surrogate pair", R"("\ud83d\ude00")", kOk},
      {"upper-case surrogate pair", R"("\uDBFF\uDFFF")", kOk},
      {"lone high surrogate", R"("\ud800")", kMalformed},
      {"lone low surrogate", R"("\udc00")", kMalformed},
      {"high surrogate then letter", R"("\ud800a")", kMalformed},
      {"high surrogate then escaped letter", R"("\ud800\u0041")", kMalformed},
      {"two high surrogates", R"("\ud800\ud800\udc00")", kMalformed},
      {"reversed pair", R"("\udc00\ud800")", kMalformed},
      {"lone surrogate in a key", R"({"\ud800":1})", kMalformed},
      {"escaped NUL is a character", R"("\u0000")", kOk},
  });
}

TEST(StrictJSONScanner, NumbersAndLiterals) {
  expectOutcomes({
      {"zero", "0", kOk},
      {"negative zero", "-0", kOk},
      {"positive", "123", kOk},
      {"negative", "-45", kOk},
      {"longer than any machine integer", "123456789012345678901234567890", kOk},
      {"leading zero", "01", kMalformed},
      {"negative leading zero", "-01", kMalformed},
      {"double zero", "00", kMalformed},
      {"bare minus", "-", kMalformed},
      {"minus in an array", "[-]", kMalformed},
      {"plus sign", "+1", kMalformed},
      {"leading dot", ".5", kMalformed},
      {"minus letter", "-a", kMalformed},
      {"fraction", "1.0", kNonInteger},
      {"exponent", "1e3", kNonInteger},
      {"upper-case exponent", "2E5", kNonInteger},
      {"negative fraction", "-0.5", kNonInteger},
      {"zero with exponent", "0e1", kNonInteger},
      {"dot without digits", "1.", kNonInteger},
      {"fraction inside an object", R"({"a":1.5})", kNonInteger},
      {"number run on inside an array", "[1a]", kMalformed},
      {"literals", "[true,false,null]", kOk},
      {"title-case true", "True", kMalformed},
      {"upper-case null", "NULL", kMalformed},
      {"cut-off literal", "tru", kMalformed},
      {"literal run on inside an array", "[truex]", kMalformed},
      {"misspelt null", "nul1", kMalformed},
  });
}

TEST(StrictJSONScanner, ContainerSyntax) {
  expectOutcomes({
      {"trailing comma in object", R"({"a":1,})", kMalformed},
      {"trailing comma in array", "[1,]", kMalformed},
      {"lone comma in object", "{,}", kMalformed},
      {"missing colon", R"({"a" 1})", kMalformed},
      {"missing value", R"({"a":})", kMalformed},
      {"bare word key", "{a:1}", kMalformed},
      {"missing comma between members", R"({"a":1 "b":2})", kMalformed},
      {"missing comma between elements", "[1 2]", kMalformed},
      {"unclosed object", R"({"a":1)", kMalformed},
      {"unclosed array", "[1", kMalformed},
      {"lone opening bracket", "[", kMalformed},
      {"closing without opening", "]", kMalformed},
      {"mismatched close", "[1}", kMalformed},
      {"whitespace everywhere", " { \"a\" : [ 1 , { } , [ ] ] , \"b\" : null } ", kOk},
      {"top-level string", R"("x")", kOk},
      {"top-level number", "7", kOk},
      {"top-level literal", "null", kOk},
      {"top-level array", "[]", kOk},
  });
}

}  // namespace
}  // namespace pellucor
