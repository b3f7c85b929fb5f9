#include "identity/utf8_repair.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace pellucor {
namespace {

struct RepairCase {
  std::string_view name;
  std::string bytes;
  std::string expected;
};

// U+FFFD REPLACEMENT CHARACTER, once and several times.
const std::string kR = "\xEF\xBF\xBD";
const std::string kRR = kR + kR;

const RepairCase kRepairCases[] = {
    {"ASCII unchanged", "/bin/zsh", "/bin/zsh"},
    {"well-formed multibyte unchanged", "/Users/ren\xC3\xA9/\xF0\x9F\x98\x80", "/Users/ren\xC3\xA9/\xF0\x9F\x98\x80"},
    {"stray byte", "a\xFF" "b", "a" + kR + "b"},
    {"sequence cut off at the end", "a\xE2\x82", "a" + kR},
    {"sequence broken by ASCII keeps the ASCII", "\xE2\x82" "A", kR + "A"},
    {"overlong two-byte form", "\xC0\xAF", kRR},
    {"overlong four-byte form", "\xF0\x80\x80\x80", kRR + kRR},
    {"encoded surrogate", "\xED\xA0\x80", kRR + kR},
    {"above U+10FFFF", "\xF4\x90\x80\x80", kRR + kRR},
    {"the standard's example of maximal subparts", "a\xF1\x80\x80\xE1\x80\xC2" "b\x80" "c\x80\xBF" "d",
     "a" + kRR + kR + "b" + kR + "c" + kRR + "d"},
};

TEST(Utf8RepairTest, ReplacesEachMaximalIllFormedSubpart) {
  for (const RepairCase& c : kRepairCases) {
    EXPECT_EQ(repairUtf8(c.bytes), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace pellucor
