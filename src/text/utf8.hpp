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
// callers that validated first never see nothing.
std::optional<char32_t> nextScalar(std::string_view bytes, std::size_t& index) noexcept;

// Appends the UTF-8 form of `scalar`, which must be a Unicode scalar value.
void appendUtf8(std::string& out, char32_t scalar);

}  // namespace pellucor::text
