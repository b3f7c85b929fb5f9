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

// The length of the maximal ill-formed subpart at `bytes[index]`, where no
// well-formed sequence starts (nextScalar gave nothing): the longest start of
// a well-formed sequence found there, or 1 for a byte that starts none. This
// is the unit that Unicode recommends replacing with one U+FFFD.
std::size_t illFormedSubpartLength(std::string_view bytes, std::size_t index) noexcept;

namespace utf8_detail {

inline bool isContinuation(unsigned char byte) noexcept { return (byte & 0xC0) == 0x80; }

// The shape of a well-formed multi-byte sequence by its lead byte, following
// the table of well-formed byte sequences of the Unicode standard (Table 3-7):
// how many bytes follow, and the range of the first of them, which rules out
// overlong forms, surrogates and values above U+10FFFF (the others are plain
// continuation bytes). Nothing for a byte that starts no such sequence.
struct SequenceShape {
  std::size_t following;
  unsigned char low;
  unsigned char high;
};

inline std::optional<SequenceShape> sequenceShape(unsigned char lead) noexcept {
  if (lead < 0xC2 || lead > 0xF4) return std::nullopt;  // ASCII, continuation, overlong lead, beyond U+10FFFF
  if (lead < 0xE0) return SequenceShape{1, 0x80, 0xBF};
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead == 0xE0) low = 0xA0;   // overlong below U+0800
  if (lead == 0xED) high = 0x9F;  // surrogates
  if (lead == 0xF0) low = 0x90;   // overlong below U+10000
  if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  return SequenceShape{lead < 0xF0 ? std::size_t{2} : std::size_t{3}, low, high};
}

// Decodes the well-formed sequence that starts at `bytes[index]`. Gives the
// scalar and sets `length`, or nothing.
inline std::optional<char32_t> decode(std::string_view bytes, std::size_t index, std::size_t& length) noexcept {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[index + k]); };
  const unsigned char lead = at(0);
  if (lead < 0x80) {
    length = 1;
    return lead;
  }
  const std::optional<SequenceShape> shape = sequenceShape(lead);
  if (!shape) return std::nullopt;
  const std::size_t total = shape->following + 1;
  if (bytes.size() - index < total || at(1) < shape->low || at(1) > shape->high) return std::nullopt;
  // The lead byte keeps 5, 4 or 3 bits for a sequence of 2, 3 or 4 bytes.
  char32_t scalar = char32_t{lead} & (0x7Fu >> total);
  for (std::size_t k = 1; k < total; ++k) {
    if (k > 1 && !isContinuation(at(k))) return std::nullopt;
    scalar = scalar << 6 | (char32_t{at(k)} & 0x3F);
  }
  length = total;
  return scalar;
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
