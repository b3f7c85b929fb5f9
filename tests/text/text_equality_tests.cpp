#include "text/text_equality.hpp"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "text/canonical_class_table.hpp"
#include "text/utf8.hpp"

#include <utf8proc.h>

namespace pellucor::text {
namespace {

struct EqualityCase {
  const char* name;
  std::string_view a;
  std::string_view b;
  bool equal;
};

constexpr EqualityCase kEqualityCases[] = {
    {"identical ASCII", "com.brevant.zorvane", "com.brevant.zorvane", true},
    {"both empty", "", "", true},
    {"precomposed and decomposed e acute", "\xC3\xA9", "e\xCC\x81", true},
    {"K and the Kelvin sign", "K", "\xE2\x84\xAA", true},
    {"Kelvin sign inside a word", "\xE2\x84\xAA" "ey", "Key", true},
    {"A ring, Angstrom sign and A with combining ring", "\xC3\x85", "\xE2\x84\xAB", true},
    {"Angstrom sign and A with combining ring", "\xE2\x84\xAB", "A\xCC\x8A", true},
    {"semicolon and Greek question mark", ";", "\xCD\xBE", true},
    {"marks of different classes in either order", "q\xCC\x87\xCC\xA3", "q\xCC\xA3\xCC\x87", true},
    {"Hangul syllable and its jamo", "\xEA\xB0\x80", "\xE1\x84\x80\xE1\x85\xA1", true},

    {"letter case", "a", "A", false},
    {"Kelvin sign is not lower-case k", "\xE2\x84\xAA", "k", false},
    {"different ASCII", "abc", "abd", false},
    {"fi ligature is only compatibility-equal", "\xEF\xAC\x81", "fi", false},
    {"circled digit one", "\xE2\x91\xA0", "1", false},
    {"full-width A", "\xEF\xBC\xA1", "A", false},
    {"no-break space is not a space", "\xC2\xA0", " ", false},
    {"a combining mark is not ignorable", "e\xCC\x81", "e", false},
    {"no trimming", " a", "a", false},
    {"marks of the same class keep their order", "a\xCC\x81\xCC\x80", "a\xCC\x80\xCC\x81", false},
    {"prefix", "\xC3\xA9", "\xC3\xA9" "e", false},
    {"different letters without decompositions", "\xD0\xBA\xE9\x8D\xB5", "\xD0\xBA\xE9\x8D\xB6", false},
    {"a starter without decomposition and a mark after it", "\xD0\xBA", "\xD0\xBA\xCC\x81", false},
};

// FNV-1a over the scalars of a text, written out here so that the hash is
// checked against its definition rather than against itself.
std::uint64_t fnv1a(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ULL;
  std::size_t index = 0;
  while (const auto scalar = nextScalar(text, index)) {
    hash ^= *scalar;
    hash *= 1099511628211ULL;
  }
  return hash;
}

TEST(TextEquality, CanonicalEquivalenceWithoutFoldingOrTrimming) {
  for (const auto& c : kEqualityCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(textEquals(c.a, c.b), c.equal);
    EXPECT_EQ(textEquals(c.b, c.a), c.equal);
    EXPECT_EQ(canonicalKey(c.a) == canonicalKey(c.b), c.equal);
    EXPECT_EQ(canonicalHash(c.a) == canonicalHash(c.b), c.equal);
    EXPECT_EQ(canonicalHash(c.a), fnv1a(canonicalKey(c.a)));
  }
}

TEST(TextEquality, CanonicalHashPutsLongRunsOfMarksInOrder) {
  // Marks of classes 230 and 220 alternate; their canonical order puts every
  // 220 before every 230, keeping each class's own order.
  std::string written = "a";
  std::string ordered = "a";
  for (int i = 0; i < 500; ++i) written += "\xCC\x81\xCC\xA3";  // U+0301 (230), U+0323 (220)
  for (int i = 0; i < 500; ++i) ordered += "\xCC\xA3";
  for (int i = 0; i < 500; ++i) ordered += "\xCC\x81";
  EXPECT_EQ(canonicalHash(written), canonicalHash(ordered));
  EXPECT_EQ(canonicalHash(written), fnv1a(ordered));
  EXPECT_TRUE(textEquals(written, ordered));
}

TEST(TextEquality, AsciiIsItsOwnKey) {
  EXPECT_EQ(canonicalKey("plugin.application"), "plugin.application");
  EXPECT_EQ(canonicalKey(""), "");
}

// The five columns of one line of the Unicode normalization test data: the
// source, its NFC, NFD, NFKC and NFKD forms, as UTF-8.
struct NormalizationLine {
  int lineNumber;
  std::array<std::string, 5> columns;
};

std::vector<NormalizationLine> readNormalizationTest() {
  std::ifstream file(PELLUCOR_NORMALIZATION_TEST);
  std::vector<NormalizationLine> lines;
  std::string line;
  int lineNumber = 0;
  while (std::getline(file, line)) {
    ++lineNumber;
    if (line.empty() || line[0] == '#' || line[0] == '@') continue;
    NormalizationLine parsed{lineNumber, {}};
    std::istringstream fields(line);
    for (auto& column : parsed.columns) {
      std::string field;
      std::getline(fields, field, ';');
      std::istringstream scalars(field);
      unsigned long scalar = 0;
      while (scalars >> std::hex >> scalar) appendUtf8(column, static_cast<char32_t>(scalar));
    }
    lines.push_back(std::move(parsed));
  }
  return lines;
}

// The table the build generates gives, for every scalar, what the library
// it was generated from says: a canonical decomposition, or the combining
// class.
TEST(CanonicalClassTable, AgreesWithTheUnicodeLibraryOnEveryScalar) {
  std::size_t disagreements = 0;
  for (char32_t scalar = 0; scalar < 0x110000; ++scalar) {
    if (scalar >= 0xD800 && scalar <= 0xDFFF) continue;
    const utf8proc_property_t* property = utf8proc_get_property(static_cast<utf8proc_int32_t>(scalar));
    const bool hangul = scalar >= 0xAC00 && scalar < 0xAC00 + 11172;
    const bool decomposes = hangul || (property->decomp_seqindex != UINT16_MAX && property->decomp_type == 0);
    const int expected = decomposes ? canonical_class_table::kDecomposes : property->combining_class;
    if (canonical_class_table::entry(scalar) != expected && ++disagreements <= 5) {
      ADD_FAILURE() << "U+" << std::hex << static_cast<std::uint32_t>(scalar);
    }
  }
  EXPECT_EQ(disagreements, 0u);
}

TEST(TextEquality, AgreesWithTheUnicodeNormalizationTestData) {
  if (std::string_view(PELLUCOR_NORMALIZATION_TEST).empty()) {
    GTEST_SKIP() << "Unicode's NormalizationTest.txt is not installed on this machine (Debian's unicode-data)";
  }
  const auto lines = readNormalizationTest();
  ASSERT_GT(lines.size(), 10000u) << "normalization data missing at " << PELLUCOR_NORMALIZATION_TEST;
  int compatibilityOnly = 0;
  for (const auto& [lineNumber, c] : lines) {
    // source == NFC == NFD, and NFKC == NFKD: each group is canonically
    // equivalent among itself.
    EXPECT_TRUE(textEquals(c[0], c[1])) << "line " << lineNumber;
    EXPECT_TRUE(textEquals(c[0], c[2])) << "line " << lineNumber;
    EXPECT_TRUE(textEquals(c[1], c[2])) << "line " << lineNumber;
    EXPECT_TRUE(textEquals(c[3], c[4])) << "line " << lineNumber;
    EXPECT_EQ(canonicalKey(c[0]), canonicalKey(c[1])) << "line " << lineNumber;
    for (const auto& column : c) {
      EXPECT_EQ(canonicalHash(column), fnv1a(canonicalKey(column))) << "line " << lineNumber;
    }
    // Where the compatibility decomposition differs from the canonical one,
    // the source must not equal its compatibility form: equality is not
    // compatibility equivalence.
    if (c[2] != c[4]) {
      ++compatibilityOnly;
      EXPECT_FALSE(textEquals(c[0], c[3])) << "line " << lineNumber;
    }
  }
  EXPECT_GT(compatibilityOnly, 1000);
}

}  // namespace
}  // namespace pellucor::text
