#pragma once

#include <cstdint>
#include <optional>

// The character classes of JSON text that both the strict scanner and the
// reader of accepted text need, defined once.
namespace pellucor::json_characters {

// The four whitespace bytes JSON allows between tokens.
constexpr bool isWhitespace(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The value of one hexadecimal digit of a \u escape, either case; nothing for
// any other byte.
constexpr std::optional<std::uint8_t> hexDigitValue(char c) noexcept {
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
  return std::nullopt;
}

}  // namespace pellucor::json_characters
