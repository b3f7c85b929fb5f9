#include "text/utf16.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "text/utf8.hpp"

namespace pellucor::text {
namespace {

struct Utf16Case {
  const char* name;
  std::u16string_view units;
  std::string_view utf8;
};

// "\xEF\xBF\xBD" is U+FFFD, the replacement for a surrogate without its pair.
constexpr Utf16Case kCases[] = {
    {"empty", u"", ""},
    {"ASCII", u"Save", "Save"},
    {"NUL kept", std::u16string_view(u"a\0b", 3), std::string_view("a\0b", 3)},
    {"two-byte and three-byte BMP", u"\u00E9\u65E5", "\xC3\xA9\xE6\x97\xA5"},
    {"last BMP before surrogates", u"\uD7FF", "\xED\x9F\xBF"},
    {"first BMP after surrogates", u"\uE000", "\xEE\x80\x80"},
    {"noncharacter U+FFFF kept", u"\uFFFF", "\xEF\xBF\xBF"},
    {"U+FFFD itself kept", u"\uFFFD", "\xEF\xBF\xBD"},
    {"paired surrogates U+1F600", u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
    {"first astral U+10000", u"\xD800\xDC00", "\xF0\x90\x80\x80"},
    {"last scalar U+10FFFF", u"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF"},
    {"lone high in the middle", u"a\xD83Dz", "a\xEF\xBF\xBDz"},
    {"lone low in the middle", u"a\xDE00z", "a\xEF\xBF\xBDz"},
    {"high at the end", u"ab\xD83D", "ab\xEF\xBF\xBD"},
    {"low at the start", u"\xDE00" u"ab", "\xEF\xBF\xBD" "ab"},
    {"low then high is two replacements", u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"two highs then a low: one replacement, one pair", u"\xD83D\xD83D\xDE00",
     "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
    {"high followed by BMP keeps the BMP", u"\xD83D\u00E9", "\xEF\xBF\xBD\xC3\xA9"},
};

TEST(Utf16ToUtf8, ConvertsEachCase) {
  for (const auto& c : kCases) {
    EXPECT_EQ(utf8FromUTF16(c.units), c.utf8) << c.name;
  }
}

struct Utf8ToUtf16Case {
  const char* name;
  std::string_view utf8;
  std::optional<std::u16string_view> units;  // nothing: not UTF-8
};

constexpr Utf8ToUtf16Case kToUtf16Cases[] = {
    {"empty", "", u""},
    {"ASCII", "Save", u"Save"},
    {"NUL kept", std::string_view("a\0b", 3), std::u16string_view(u"a\0b", 3)},
    {"BMP", "\xC3\xA9\xE6\x97\xA5", u"\u00E9\u65E5"},
    {"leading byte-order mark kept", "\xEF\xBB\xBF" "AXTitle", u"\uFEFFAXTitle"},
    {"astral becomes a pair", "\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
    {"first astral", "\xF0\x90\x80\x80", u"\xD800\xDC00"},
    {"last scalar", "\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},
    {"encoded surrogate refused", "\xED\xA0\x80", std::nullopt},
    {"overlong refused", "\xC0\xAF", std::nullopt},
    {"truncated at the end refused", "ab\xE2\x82", std::nullopt},
    {"lone continuation refused", "\x80", std::nullopt},
};

TEST(Utf8ToUtf16, ConvertsEachCase) {
  for (const auto& c : kToUtf16Cases) {
    const auto units = utf16FromUTF8(c.utf8);
    ASSERT_EQ(units.has_value(), c.units.has_value()) << c.name;
    if (units) {
      EXPECT_EQ(*units, *c.units) << c.name;
    }
  }
}

TEST(Utf16RoundTrip, EveryScalarSurvives) {
  for (const char32_t scalar : {U'\u0000', U'\u007F', U'\u0080', U'\u07FF', U'\u0800', U'\uD7FF', U'\uE000', U'\uFFFF',
                                U'\U00010000', U'\U0010FFFF'}) {
    std::string utf8;
    appendUtf8(utf8, scalar);
    const auto units = utf16FromUTF8(utf8);
    ASSERT_TRUE(units.has_value()) << static_cast<unsigned long>(scalar);
    EXPECT_EQ(utf8FromUTF16(*units), utf8) << static_cast<unsigned long>(scalar);
  }
}

}  // namespace
}  // namespace pellucor::text
