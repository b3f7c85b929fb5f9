#include "text/utf16.hpp"

#include "text/utf8.hpp"

namespace pellucor::text {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char16_t unit) noexcept { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) noexcept { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::string utf8FromUTF16(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t unit = units[i];
    if (isHighSurrogate(unit) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
      const char32_t high = unit - 0xD800u;
      const char32_t low = units[i + 1] - 0xDC00u;
      appendUtf8(out, 0x10000 + (high << 10 | low));
      ++i;
    } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
      appendUtf8(out, kReplacement);
    } else {
      appendUtf8(out, unit);
    }
  }
  return out;
}

std::optional<std::u16string> utf16FromUTF8(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  std::size_t index = 0;
  while (index < bytes.size()) {
    const auto scalar = nextScalar(bytes, index);
    if (!scalar) return std::nullopt;
    if (*scalar < 0x10000) {
      out.push_back(static_cast<char16_t>(*scalar));
    } else {
      const char32_t offset = *scalar - 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
    }
  }
  return out;
}

}  // namespace pellucor::text
