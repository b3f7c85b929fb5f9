#include "native/ax_string_sanitizer.hpp"

#include <array>
#include <cstdint>

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

// What a byte is to the fast path: printable ASCII copied as it is (0), or
// copied and counted twice by the measuring form (1: quotation mark, reverse
// solidus, solidus); anything else (kSlowPath) needs the scalar path.
constexpr std::uint8_t kSlowPath = 2;
constexpr std::array<std::uint8_t, 256> kByteClass = [] {
  std::array<std::uint8_t, 256> classes{};
  for (std::size_t byte = 0; byte < 256; ++byte) {
    classes[byte] = byte >= 0x20 && byte < 0x7F ? 0 : kSlowPath;
  }
  classes['"'] = classes['\\'] = classes['/'] = 1;
  return classes;
}();

}  // namespace

AXStringSanitizer::Measured AXStringSanitizer::escapeMeasured(std::string_view text) {
  constexpr std::size_t kLimit = ax_limits::kMaximumEscapedTextBytes;
  Measured out;
  std::string& escaped = out.text;
  escaped.reserve(text.size() < kLimit ? text.size() : kLimit);
  // Bytes that the measuring form writes twice: one per quotation mark,
  // reverse solidus and solidus. Escapes add their own backslash.
  std::size_t doubled = 0;
  std::size_t index = 0;
  while (index < text.size()) {
    // Printable ASCII is neither a control nor a format character, so a run
    // of it is copied whole. The run is never scanned past the limit, so a
    // huge input costs no more than the limit.
    const std::size_t room = kLimit - escaped.size();
    const std::size_t scanEnd = index + (text.size() - index < room + 1 ? text.size() - index : room + 1);
    std::size_t runEnd = index;
    while (runEnd < scanEnd) {
      const std::uint8_t byteClass = kByteClass[static_cast<unsigned char>(text[runEnd])];
      if (byteClass == kSlowPath) break;
      doubled += byteClass;
      ++runEnd;
    }
    if (runEnd > index) {
      if (runEnd - index > room) fail(ax_errors::kStringTooLarge);
      escaped.append(text.substr(index, runEnd - index));
      index = runEnd;
      continue;
    }
    const std::size_t start = index;
    const auto scalar = text::nextScalar(text, index);
    if (!scalar) fail(ax_errors::kEncodingFailed);
    const bool replaced = needsEscape(*scalar);
    const std::size_t pieceLength = replaced ? escapeLength(*scalar) : index - start;
    if (pieceLength > room) fail(ax_errors::kStringTooLarge);
    if (replaced) {
      appendEscape(escaped, *scalar);
      ++doubled;
    } else {
      escaped.append(text.substr(start, index - start));
    }
  }
  out.measuredSize = 2 + escaped.size() + doubled;
  return out;
}

std::string AXStringSanitizer::escape(std::string_view text) { return escapeMeasured(text).text; }

}  // namespace pellucor
