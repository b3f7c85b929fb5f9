#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pellucor::text {

// True when `bytes` is well-formed UTF-8 as Unicode defines it: shortest forms
// only, no encoded surrogates, nothing above U+10FFFF and no sequence cut off at
// the end. The empty text is well-formed.
bool isWellFormedUtf8(std::string_view bytes) noexcept;

// True when every byte is below 0x80.
bool isAscii(std::string_view bytes) noexcept;

// Decodes the scalar that starts at `bytes[index]` and advances `index` past
// it. Returns nothing (and leaves `index` alone) at a malformed sequence, so
// callers that validated first never see nothing. Inline: text walks call it
// once per scalar.
inline std::optional<char32_t> nextScalar(std::string_view bytes, std::size_t& index) noexcept;

// Appends the UTF-8 form of `scalar`, which must be a Unicode scalar value.
void appendUtf8(std::string& out, char32_t scalar);

namespace utf8_detail {

inline bool isContinuation(unsigned char byte) noexcept { return (byte & 0xC0) == 0x80; }

// Decodes the well-formed sequence that starts at `bytes[index]`, following
// the table of well-formed byte sequences of the Unicode standard (Table 3-7):
// the second byte's range depends on the first, which rules out overlong
// forms, surrogates and values above U+10FFFF. Gives the scalar and sets
// `length`, or nothing.
inline std::optional<char32_t> decode(std::string_view bytes, std::size_t index, std::size_t& length) noexcept {
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

}  // namespace utf8_detail

inline std::optional<char32_t> nextScalar(std::string_view bytes, std::size_t& index) noexcept {
  if (index >= bytes.size()) return std::nullopt;
  std::size_t length = 0;
  const auto scalar = utf8_detail::decode(bytes, index, length);
  if (scalar) index += length;
  return scalar;
}

}  // namespace pellucor::text
