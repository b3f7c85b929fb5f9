#include "text/text_equality.hpp"

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include <utf8proc.h>

#include "text/utf8.hpp"

namespace pellucor::text {
namespace {

std::string decompose(std::string_view text) {
  utf8proc_uint8_t* raw = nullptr;
  const auto length =
      utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                   static_cast<utf8proc_ssize_t>(text.size()), &raw,
                   static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_DECOMPOSE));
  const std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owner(raw, &std::free);
  if (length < 0) {
    // Callers hold well-formed UTF-8; anything else is a broken invariant, or
    // memory exhaustion inside the library.
    throw std::runtime_error("text could not be decomposed");
  }
  return std::string(reinterpret_cast<const char*>(raw), static_cast<std::size_t>(length));
}

}  // namespace

bool textEquals(std::string_view a, std::string_view b) {
  if (a == b) return true;
  // Two different ASCII texts can never be equivalent. A single ASCII side is
  // not enough to decide: U+212A decomposes to "K".
  if (isAscii(a) && isAscii(b)) return false;
  return decompose(a) == decompose(b);
}

std::string canonicalKey(std::string_view text) {
  if (isAscii(text)) return std::string(text);
  return decompose(text);
}

}  // namespace pellucor::text
