#include "text/utf8.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace pellucor::text {
namespace {

struct Utf8Case {
  const char* name;
  std::string_view bytes;
  bool wellFormed;
};

// The boundaries of the well-formed byte sequences table of the Unicode
// standard (Table 3-7), and the sequences just outside each of them.
constexpr Utf8Case kUtf8Cases[] = {
    {"empty", "", true},
    {"nul", std::string_view("\x00", 1), true},
    {"last one-byte", "\x7F", true},
    {"first two-byte U+0080", "\xC2\x80", true},
    {"last two-byte U+07FF", "\xDF\xBF", true},
    {"first three-byte U+0800", "\xE0\xA0\x80", true},
    {"E0 upper bound", "\xE0\xBF\xBF", true},
    {"E1 lowest", "\xE1\x80\x80", true},
    {"last before surrogates U+D7FF", "\xED\x9F\xBF", true},
    {"first after surrogates U+E000", "\xEE\x80\x80", true},
    {"noncharacter U+FFFF is well-formed", "\xEF\xBF\xBF", true},
    {"first four-byte U+10000", "\xF0\x90\x80\x80", true},
    {"F1 lowest", "\xF1\x80\x80\x80", true},
    {"last scalar U+10FFFF", "\xF4\x8F\xBF\xBF", true},
    {"mixed text", "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80z", true},

    {"lone continuation 80", "\x80", false},
    {"lone continuation BF", "\xBF", false},
    {"overlong C0 80 (NUL)", "\xC0\x80", false},
    {"overlong C0 AF (slash)", "\xC0\xAF", false},
    {"overlong C1 BF", "\xC1\xBF", false},
    {"overlong three-byte E0 80 80", "\xE0\x80\x80", false},
    {"overlong three-byte E0 9F BF", "\xE0\x9F\xBF", false},
    {"overlong four-byte F0 80 80 80", "\xF0\x80\x80\x80", false},
    {"overlong four-byte F0 8F BF BF", "\xF0\x8F\xBF\xBF", false},
    {"surrogate U+D800", "\xED\xA0\x80", false},
    {"surrogate U+DFFF", "\xED\xBF\xBF", false},
    {"surrogate pair as CESU-8", "\xED\xA0\xBD\xED\xB8\x80", false},
    {"above U+10FFFF", "\xF4\x90\x80\x80", false},
    {"F4 BF BF BF", "\xF4\xBF\xBF\xBF", false},
    {"F5 lead", "\xF5\x80\x80\x80", false},
    {"five-byte form", "\xF8\x88\x80\x80\x80", false},
    {"six-byte form", "\xFC\x84\x80\x80\x80\x80", false},
    {"FE", "\xFE", false},
    {"FF", "\xFF", false},
    {"truncated two-byte", "\xC2", false},
    {"truncated three-byte", "\xE1\x80", false},
    {"truncated four-byte", "\xF1\x80\x80", false},
    {"truncated at the end of text", "abc\xE2\x82", false},
    {"lead followed by ASCII", "\xC2" "A", false},
    {"three-byte lead followed by ASCII", "\xE1\x80" "A", false},
    {"FF inside ASCII", "ab\xFF" "cd", false},
    {"two leads in a row", "\xC2\xC2\x80", false},
};

TEST(Utf8, WellFormednessFollowsTheUnicodeTable) {
  for (const auto& c : kUtf8Cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(isWellFormedUtf8(c.bytes), c.wellFormed);
  }
}

TEST(Utf8, MalformedSequenceAfterLongAsciiRunIsFound) {
  std::string text(1000, 'a');
  EXPECT_TRUE(isWellFormedUtf8(text));
  text += "\xED\xA0\x80";
  EXPECT_FALSE(isWellFormedUtf8(text));
}

TEST(Utf8, NextScalarDecodesAndAdvances) {
  const std::string_view text = "A\xC3\xA9\xE2\x82\xAC\xF4\x8F\xBF\xBF";
  std::size_t index = 0;
  EXPECT_EQ(nextScalar(text, index), U'A');
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(nextScalar(text, index), U'\u00E9');
  EXPECT_EQ(index, 3u);
  EXPECT_EQ(nextScalar(text, index), U'\u20AC');
  EXPECT_EQ(index, 6u);
  EXPECT_EQ(nextScalar(text, index), U'\U0010FFFF');
  EXPECT_EQ(index, 10u);
  EXPECT_EQ(nextScalar(text, index), std::nullopt);
  EXPECT_EQ(index, 10u);
}

TEST(Utf8, NextScalarLeavesIndexAtMalformedSequence) {
  for (const auto& c : kUtf8Cases) {
    if (c.wellFormed) continue;
    SCOPED_TRACE(c.name);
    // Walk up to the first sequence that does not decode; the index must stay
    // there and something must be left to read.
    std::size_t index = 0;
    while (nextScalar(c.bytes, index)) {
    }
    EXPECT_LT(index, c.bytes.size());
    const std::size_t stuck = index;
    EXPECT_EQ(nextScalar(c.bytes, index), std::nullopt);
    EXPECT_EQ(index, stuck);
  }
}

TEST(Utf8, AppendUtf8WritesShortestFormsAtEveryLengthBoundary) {
  const struct {
    char32_t scalar;
    std::string_view bytes;
  } cases[] = {
      {U'\0', std::string_view("\x00", 1)}, {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},                   {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},              {0xD7FF, "\xED\x9F\xBF"},
      {0xE000, "\xEE\x80\x80"},             {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"},        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<unsigned>(c.scalar));
    std::string out = "x";
    appendUtf8(out, c.scalar);
    EXPECT_EQ(out, "x" + std::string(c.bytes));
    std::size_t index = 1;
    EXPECT_EQ(nextScalar(out, index), c.scalar);
  }
}

TEST(Utf8, AsciiTestLooksAtEveryByteOfWordAndTail) {
  // Texts of 7, 8, 9 and 17 bytes exercise the tail, one whole word, and a
  // word plus a tail; the high byte is moved through every position.
  for (const std::size_t length : {1u, 7u, 8u, 9u, 16u, 17u}) {
    const std::string plain(length, 'a');
    EXPECT_TRUE(isAscii(plain)) << length;
    for (std::size_t position = 0; position < length; ++position) {
      std::string text = plain;
      text[position] = '\x80';
      EXPECT_FALSE(isAscii(text)) << "length " << length << " position " << position;
    }
  }
  EXPECT_TRUE(isAscii(""));
  EXPECT_TRUE(isAscii("\x7F"));
}

}  // namespace
}  // namespace pellucor::text
