#include "text/unicode_category.hpp"

#include <utf8proc.h>

namespace pellucor::text {
namespace {

utf8proc_category_t category(char32_t scalar) noexcept {
  return utf8proc_category(static_cast<utf8proc_int32_t>(scalar));
}

}  // namespace

bool isControlOrFormat(char32_t scalar) noexcept {
  const auto c = category(scalar);
  return c == UTF8PROC_CATEGORY_CC || c == UTF8PROC_CATEGORY_CF;
}

bool isSeparator(char32_t scalar) noexcept {
  const auto c = category(scalar);
  return c == UTF8PROC_CATEGORY_ZS || c == UTF8PROC_CATEGORY_ZL || c == UTF8PROC_CATEGORY_ZP;
}

bool isBidiControl(char32_t scalar) noexcept {
  return scalar == 0x061C || scalar == 0x200E || scalar == 0x200F ||
         (scalar >= 0x202A && scalar <= 0x202E) || (scalar >= 0x2066 && scalar <= 0x2069);
}

}  // namespace pellucor::text
