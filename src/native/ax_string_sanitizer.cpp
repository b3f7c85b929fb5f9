#include "native/ax_string_sanitizer.hpp"

#include <array>

#include "native/accessibility_reading.hpp"
#include "text/unicode_category.hpp"
#include "text/utf8.hpp"

namespace pellucor {
namespace {

bool needsEscape(char32_t scalar) { return text::isControlOrFormat(scalar) || text::isBidiControl(scalar); }

// "\u{" + at least four upper-case hexadecimal digits + "}".
void appendEscape(std::string& out, char32_t scalar) {
  constexpr std::string_view kDigits = "0123456789ABCDEF";
  std::array<char, 8> digits{};
  std::size_t count = 0;
  for (char32_t rest = scalar; rest != 0 || count < 4; rest >>= 4) digits[count++] = kDigits[rest & 0xF];
  out.append("\\u{");
  while (count > 0) out.push_back(digits[--count]);
  out.push_back('}');
}

std::size_t escapeLength(char32_t scalar) { return scalar > 0xFFFFF ? 10 : scalar > 0xFFFF ? 9 : 8; }

}  // namespace

std::string AXStringSanitizer::escape(std::string_view text) {
  std::string out;
  std::size_t index = 0;
  while (index < text.size()) {
    const auto byte = static_cast<unsigned char>(text[index]);
    // Printable ASCII is neither a control nor a format character: the common
    // case needs no table lookup.
    if (byte >= 0x20 && byte < 0x7F) {
      if (out.size() + 1 > ax_limits::kMaximumEscapedTextBytes) fail(ax_errors::kStringTooLarge);
      out.push_back(static_cast<char>(byte));
      ++index;
      continue;
    }
    const std::size_t start = index;
    const auto scalar = text::nextScalar(text, index);
    if (!scalar) fail(ax_errors::kEncodingFailed);
    const bool escaped = needsEscape(*scalar);
    const std::size_t pieceLength = escaped ? escapeLength(*scalar) : index - start;
    if (out.size() + pieceLength > ax_limits::kMaximumEscapedTextBytes) fail(ax_errors::kStringTooLarge);
    if (escaped) {
      appendEscape(out, *scalar);
    } else {
      out.append(text.substr(start, index - start));
    }
  }
  return out;
}

}  // namespace pellucor
