#pragma once

namespace pellucor::text {

// General-category tests, answered by the Unicode library's tables.
bool isControlOrFormat(char32_t scalar) noexcept;   // Cc or Cf
bool isSeparator(char32_t scalar) noexcept;         // Z: Zs, Zl or Zp

// The explicit bidirectional controls: U+061C, U+200E, U+200F, U+202A to
// U+202E and U+2066 to U+2069. They are named here so that no Unicode version
// can move them out of the set the system refuses or escapes.
bool isBidiControl(char32_t scalar) noexcept;

}  // namespace pellucor::text
