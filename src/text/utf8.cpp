#include "text/utf8.hpp"

#include <cstring>

#include <utf8proc.h>

namespace pellucor::text {
namespace {

const utf8proc_uint8_t* asUtf8proc(const char* p) noexcept {
  return reinterpret_cast<const utf8proc_uint8_t*>(p);
}

}  // namespace

bool isAscii(std::string_view bytes) noexcept {
  // Eight bytes at a time; the tail byte by byte.
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + i, sizeof word);
    if ((word & 0x8080808080808080ULL) != 0) return false;
  }
  for (; i < bytes.size(); ++i) {
    if (static_cast<unsigned char>(bytes[i]) >= 0x80) return false;
  }
  return true;
}

bool isWellFormedUtf8(std::string_view bytes) noexcept {
  std::size_t i = 0;
  while (i < bytes.size()) {
    // Runs of ASCII are the common case; skip them without decoding.
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    if (!nextScalar(bytes, i)) return false;
  }
  return true;
}

std::optional<char32_t> nextScalar(std::string_view bytes, std::size_t& index) noexcept {
  if (index >= bytes.size()) return std::nullopt;
  utf8proc_int32_t scalar = 0;
  // utf8proc refuses overlong forms, surrogates, values above U+10FFFF and
  // truncated sequences.
  const auto length = utf8proc_iterate(asUtf8proc(bytes.data() + index),
                                       static_cast<utf8proc_ssize_t>(bytes.size() - index), &scalar);
  if (length <= 0) return std::nullopt;
  index += static_cast<std::size_t>(length);
  return static_cast<char32_t>(scalar);
}

void appendUtf8(std::string& out, char32_t scalar) {
  utf8proc_uint8_t buffer[4];
  const auto length = utf8proc_encode_char(static_cast<utf8proc_int32_t>(scalar), buffer);
  out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
}

}  // namespace pellucor::text
