#include "native/ax_string_sanitizer.hpp"

#include <gtest/gtest.h>

#include <string>

#include "native/error_outcome.hpp"
#include "wire/json_encoder.hpp"

namespace pellucor {
namespace {

using testing::failureOf;

struct EscapeCase {
  const char* name;
  std::string input;
  std::string expected;
};

class EscapeTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeTest, WritesInvisibleAndDirectionalCharactersAsVisibleEscapes) {
  EXPECT_EQ(AXStringSanitizer::escape(GetParam().input), GetParam().expected);
}

// The size found while escaping is the one the output budget would measure.
TEST_P(EscapeTest, MeasuresTheEscapedTextAsTheBudgetDoes) {
  const auto measured = AXStringSanitizer::escapeMeasured(GetParam().input);
  EXPECT_EQ(measured.text, GetParam().expected);
  EXPECT_EQ(measured.measuredSize, json::measuredStringSize(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Characters, EscapeTest,
    ::testing::Values(
        EscapeCase{"Empty", "", ""},
        EscapeCase{"PlainAscii", "Zorvane 1.2 / plugin", "Zorvane 1.2 / plugin"},
        EscapeCase{"TabLineFeedReturn", "a\tb\nc\rd", "a\\u{0009}b\\u{000A}c\\u{000D}d"},
        EscapeCase{"NulAndDelete", std::string("x\0y\x7F", 4), "x\\u{0000}y\\u{007F}"},
        EscapeCase{"C1Control", "\xC2\x85", "\\u{0085}"},
        EscapeCase{"RightToLeftOverride", "abc\xE2\x80\xAE" "cba", "abc\\u{202E}cba"},
        EscapeCase{"BidiIsolatesAndMarks", "\xE2\x81\xA6\xE2\x81\xA9\xE2\x80\x8E\xE2\x80\x8F\xD8\x9C",
                   "\\u{2066}\\u{2069}\\u{200E}\\u{200F}\\u{061C}"},
        EscapeCase{"SoftHyphenIsFormat", "co\xC2\xADop", "co\\u{00AD}op"},
        EscapeCase{"ZeroWidthSpaceIsFormat", "\xE2\x80\x8B", "\\u{200B}"},
        EscapeCase{"TagCharacterHasFiveDigits", "\xF3\xA0\x80\x81", "\\u{E0001}"},
        EscapeCase{"LettersEmojiAndScriptsKept", "\xC3\xA9 e\xCC\x81 \xF0\x9F\x98\x80 \xE6\xBC\xA2 \xD0\xAF",
                   "\xC3\xA9 e\xCC\x81 \xF0\x9F\x98\x80 \xE6\xBC\xA2 \xD0\xAF"},
        EscapeCase{"BackslashAndQuoteKept", "\\u{0009} \"q\"", "\\u{0009} \"q\""},
        EscapeCase{"SlashesKept", "a/b//c", "a/b//c"}),
    [](const auto& row) { return std::string(row.param.name); });

struct LimitCase {
  const char* name;
  std::string input;
  std::string outcome;
};

class EscapeLimitTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(EscapeLimitTest, BoundsTheEscapedFormNotTheInput) {
  EXPECT_EQ(failureOf([&] { AXStringSanitizer::escape(GetParam().input); }), GetParam().outcome);
}

const std::string kTooLarge = "ax_string_too_large / AX string exceeds 4096 UTF-8 bytes after safety escaping";
const std::string kIllFormed = "ax_encoding_failed / AX output could not be encoded";

INSTANTIATE_TEST_SUITE_P(
    Limits, EscapeLimitTest,
    ::testing::Values(
        LimitCase{"Ascii4096", std::string(4096, 'a'), "succeeded"},
        LimitCase{"Ascii4097", std::string(4097, 'a'), kTooLarge},
        LimitCase{"Tabs512", std::string(512, '\t'), "succeeded"},
        LimitCase{"Tabs513", std::string(513, '\t'), kTooLarge},
        LimitCase{"TwoByteLetterCrossingTheLimit", std::string(4095, 'a') + "\xC3\xA9", kTooLarge},
        LimitCase{"TwoByteLetterEndingAtTheLimit", std::string(4094, 'a') + "\xC3\xA9", "succeeded"},
        LimitCase{"FiveDigitEscapeCrossingTheLimit", std::string(4088, 'a') + "\xF3\xA0\x80\x81", kTooLarge},
        LimitCase{"FiveDigitEscapeEndingAtTheLimit", std::string(4087, 'a') + "\xF3\xA0\x80\x81", "succeeded"},
        LimitCase{"HugeInputFailsOnlyForItsOutput", std::string(1 << 20, 'a'), kTooLarge},
        LimitCase{"StrayByte", "ab\xFF", kIllFormed},
        LimitCase{"CutOffSequence", "ab\xC3", kIllFormed},
        LimitCase{"EncodedSurrogate", "\xED\xA0\x80", kIllFormed},
        LimitCase{"OverlongSlash", "\xC0\xAF", kIllFormed},
        LimitCase{"LimitReachedBeforeTheBadByte", std::string(4097, 'a') + "\xFF", kTooLarge},
        LimitCase{"BadByteBeforeTheLimit", "\xFF" + std::string(4097, 'a'), kIllFormed}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(EscapeLimitTest, AnEscapedTextAtTheLimitIsExactly4096Bytes) {
  EXPECT_EQ(AXStringSanitizer::escape(std::string(512, '\t')).size(), 4096u);
}

}  // namespace
}  // namespace pellucor
