#pragma once

#include <cstdint>

// For every Unicode scalar, what canonical decomposition needs to know of it:
// kDecomposes when it has a canonical decomposition (Hangul syllables
// included), else its canonical combining class (0 for a starter). Generated
// at build time from utf8proc's data (src/text/generate/), in blocks of 256
// scalars, identical blocks stored once.
namespace pellucor::text::canonical_class_table {

inline constexpr std::uint8_t kDecomposes = 0xff;

extern const std::uint16_t kBlockOf[0x110000 / 256];
extern const std::uint8_t kEntries[];

// `scalar` must be below 0x110000.
inline std::uint8_t entry(char32_t scalar) noexcept {
  return kEntries[std::size_t{kBlockOf[scalar >> 8]} * 256 + (scalar & 0xff)];
}

}  // namespace pellucor::text::canonical_class_table
