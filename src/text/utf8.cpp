#include "text/utf8.hpp"

#include <cstring>

namespace pellucor::text {
namespace {

bool isContinuation(unsigned char byte) noexcept { return (byte & 0xC0) == 0x80; }

// Decodes the well-formed sequence that starts at `bytes[index]`, following
// the table of well-formed byte sequences of the Unicode standard (Table 3-7):
// the second byte's range depends on the first, which rules out overlong
// forms, surrogates and values above U+10FFFF. Returns the scalar and sets
// `length`, or nothing.
std::optional<char32_t> decode(std::string_view bytes, std::size_t index, std::size_t& length) noexcept {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[index + k]); };
  const std::size_t left = bytes.size() - index;
  const unsigned char lead = at(0);
  if (lead < 0x80) {
    length = 1;
    return lead;
  }
  if (lead < 0xC2 || lead > 0xF4) return std::nullopt;  // continuation, overlong lead, or beyond U+10FFFF
  if (lead < 0xE0) {
    if (left < 2 || !isContinuation(at(1))) return std::nullopt;
    length = 2;
    return (char32_t{lead} & 0x1F) << 6 | (char32_t{at(1)} & 0x3F);
  }
  // The allowed range of the second byte of a three- or four-byte sequence.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead == 0xE0) low = 0xA0;   // overlong below U+0800
  if (lead == 0xED) high = 0x9F;  // surrogates
  if (lead == 0xF0) low = 0x90;   // overlong below U+10000
  if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  if (lead < 0xF0) {
    if (left < 3 || at(1) < low || at(1) > high || !isContinuation(at(2))) return std::nullopt;
    length = 3;
    return (char32_t{lead} & 0x0F) << 12 | (char32_t{at(1)} & 0x3F) << 6 | (char32_t{at(2)} & 0x3F);
  }
  if (left < 4 || at(1) < low || at(1) > high || !isContinuation(at(2)) || !isContinuation(at(3))) {
    return std::nullopt;
  }
  length = 4;
  return (char32_t{lead} & 0x07) << 18 | (char32_t{at(1)} & 0x3F) << 12 | (char32_t{at(2)} & 0x3F) << 6 |
         (char32_t{at(3)} & 0x3F);
}

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

bool wordIsAscii(const char* p) noexcept {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return (word & kHighBits) == 0;
}

}  // namespace

bool isAscii(std::string_view bytes) noexcept {
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    if (!wordIsAscii(bytes.data() + i)) return false;
  }
  for (; i < bytes.size(); ++i) {
    if (static_cast<unsigned char>(bytes[i]) >= 0x80) return false;
  }
  return true;
}

bool isWellFormedUtf8(std::string_view bytes) noexcept {
  std::size_t i = 0;
  while (i < bytes.size()) {
    // Runs of ASCII are the common case; skip them eight bytes at a time.
    if (i + 8 <= bytes.size() && wordIsAscii(bytes.data() + i)) {
      i += 8;
      continue;
    }
    std::size_t length = 0;
    if (!decode(bytes, i, length)) return false;
    i += length;
  }
  return true;
}

std::optional<char32_t> nextScalar(std::string_view bytes, std::size_t& index) noexcept {
  if (index >= bytes.size()) return std::nullopt;
  std::size_t length = 0;
  const auto scalar = decode(bytes, index, length);
  if (scalar) index += length;
  return scalar;
}

void appendUtf8(std::string& out, char32_t scalar) {
  if (scalar < 0x80) {
    out.push_back(static_cast<char>(scalar));
  } else if (scalar < 0x800) {
    const char bytes[2] = {static_cast<char>(0xC0 | (scalar >> 6)), static_cast<char>(0x80 | (scalar & 0x3F))};
    out.append(bytes, 2);
  } else if (scalar < 0x10000) {
    const char bytes[3] = {static_cast<char>(0xE0 | (scalar >> 12)), static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)),
                           static_cast<char>(0x80 | (scalar & 0x3F))};
    out.append(bytes, 3);
  } else {
    const char bytes[4] = {static_cast<char>(0xF0 | (scalar >> 18)), static_cast<char>(0x80 | ((scalar >> 12) & 0x3F)),
                           static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)), static_cast<char>(0x80 | (scalar & 0x3F))};
    out.append(bytes, 4);
  }
}

}  // namespace pellucor::text
