#include "text/canonical_text_search.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace pellucor::canonical_text {
namespace {

// "é" precomposed and as "e" with a combining acute accent.
constexpr std::string_view kComposed = "\xC3\xA9";
constexpr std::string_view kDecomposed = "e\xCC\x81";

struct PrefixCase {
  std::string_view name;
  std::string text;
  std::string prefix;
  bool expected;
};

const PrefixCase kPrefixCases[] = {
    {"plain prefix", "/a/Contents/x", "/a/Contents/", true},
    {"whole text", "/a/Contents/", "/a/Contents/", true},
    {"empty prefix", "/a", "", true},
    {"longer than the text", "/a", "/a/", false},
    {"differs in case", "/a/contents/x", "/a/Contents/", false},
    {"composed text, decomposed prefix", "/" + std::string(kComposed) + "/x", "/" + std::string(kDecomposed) + "/",
     true},
    {"decomposed text, composed prefix", "/" + std::string(kDecomposed) + "/x", "/" + std::string(kComposed) + "/",
     true},
    {"accent after the prefix joins its last character", "/a/" + std::string("\xCC\x81") + "x", "/a/", false},
    {"accented e does not start with e", std::string(kDecomposed), "e", false},
    {"Kelvin sign is K", "\xE2\x84\xAA" "ey", "Key", true},
};

TEST(CanonicalTextSearchTest, StartsWith) {
  for (const PrefixCase& c : kPrefixCases) {
    EXPECT_EQ(startsWith(c.text, c.prefix), c.expected) << c.name;
  }
}

struct CutCase {
  std::string_view name;
  std::string text;
  std::string needle;
  std::optional<std::string> canonicalFormWithoutSuffix;
  std::optional<std::string> canonicalFormBeforeFirst;
};

const CutCase kCutCases[] = {
    {"suffix at the end", "a.pellucor", ".pellucor", "a", "a"},
    {"suffix alone", ".pellucor", ".pellucor", "", ""},
    {"first of two occurrences", "/x/Z.app/y/Z.app/", "/Z.app/", "/x/Z.app/y", "/x"},
    {"absent", "abc", "/Z.app/", std::nullopt, std::nullopt},
    {"accent on the needle's last letter", "a.pellucor\xCC\x81", ".pellucor", std::nullopt, std::nullopt},
    {"result comes back decomposed", std::string(kComposed) + ".pellucor", ".pellucor", std::string(kDecomposed),
     std::string(kDecomposed)},
    {"an occurrence split by an accent is skipped for the next one", "/Z.app\xCC\x81/Z.app/", "/Z.app/",
     "/Z.app\xCC\x81", "/Z.app\xCC\x81"},
};

TEST(CanonicalTextSearchTest, CutsAtSuffixAndFirstOccurrence) {
  for (const CutCase& c : kCutCases) {
    EXPECT_EQ(canonicalFormWithoutSuffix(c.text, c.needle), c.canonicalFormWithoutSuffix) << c.name;
    EXPECT_EQ(canonicalFormBeforeFirst(c.text, c.needle), c.canonicalFormBeforeFirst) << c.name;
  }
}

}  // namespace
}  // namespace pellucor::canonical_text
