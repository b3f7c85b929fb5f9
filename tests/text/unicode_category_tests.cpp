#include "text/unicode_category.hpp"

#include <gtest/gtest.h>

namespace pellucor::text {
namespace {

struct CategoryCase {
  const char* name;
  char32_t scalar;
  bool controlOrFormat;
  bool separator;
  bool bidiControl;
};

constexpr CategoryCase kCategoryCases[] = {
    {"NUL (Cc)", 0x0000, true, false, false},
    {"tab (Cc, not a separator)", 0x0009, true, false, false},
    {"unit separator (Cc)", 0x001F, true, false, false},
    {"space (Zs)", 0x0020, false, true, false},
    {"letter", U'A', false, false, false},
    {"delete (Cc)", 0x007F, true, false, false},
    {"next line U+0085 (Cc)", 0x0085, true, false, false},
    {"last C1 control (Cc)", 0x009F, true, false, false},
    {"no-break space (Zs)", 0x00A0, false, true, false},
    {"soft hyphen (Cf)", 0x00AD, true, false, false},
    {"combining acute (Mn)", 0x0301, false, false, false},
    {"Arabic letter mark (Cf, bidi)", 0x061C, true, false, true},
    {"Arabic semicolon", 0x061B, false, false, false},
    {"ogham space mark (Zs)", 0x1680, false, true, false},
    {"en quad (Zs)", 0x2000, false, true, false},
    {"hair space (Zs)", 0x200A, false, true, false},
    {"zero width space (Cf)", 0x200B, true, false, false},
    {"zero width joiner (Cf, not bidi)", 0x200D, true, false, false},
    {"left-to-right mark", 0x200E, true, false, true},
    {"right-to-left mark", 0x200F, true, false, true},
    {"line separator (Zl)", 0x2028, false, true, false},
    {"paragraph separator (Zp)", 0x2029, false, true, false},
    {"left-to-right embedding", 0x202A, true, false, true},
    {"right-to-left override", 0x202E, true, false, true},
    {"narrow no-break space (Zs)", 0x202F, false, true, false},
    {"medium mathematical space (Zs)", 0x205F, false, true, false},
    {"invisible plus (Cf, not bidi)", 0x2064, true, false, false},
    {"left-to-right isolate", 0x2066, true, false, true},
    {"pop directional isolate", 0x2069, true, false, true},
    {"inhibit symmetric swapping (Cf, not bidi)", 0x206A, true, false, false},
    {"ideographic space (Zs)", 0x3000, false, true, false},
    {"private use (Co)", 0xE000, false, false, false},
    {"byte order mark (Cf)", 0xFEFF, true, false, false},
    {"emoji", 0x1F600, false, false, false},
    {"language tag (Cf)", 0xE0001, true, false, false},
};

TEST(UnicodeCategory, AnswersEachTestForEachScalar) {
  for (const auto& c : kCategoryCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(isControlOrFormat(c.scalar), c.controlOrFormat);
    EXPECT_EQ(isSeparator(c.scalar), c.separator);
    EXPECT_EQ(isBidiControl(c.scalar), c.bidiControl);
  }
}

TEST(UnicodeCategory, BidiControlsAreExactlyTheNamedSet) {
  int count = 0;
  for (char32_t scalar = 0; scalar <= 0x10FFFF; ++scalar) {
    if (isBidiControl(scalar)) ++count;
  }
  // U+061C, U+200E, U+200F, U+202A to U+202E and U+2066 to U+2069.
  EXPECT_EQ(count, 12);
}

}  // namespace
}  // namespace pellucor::text
