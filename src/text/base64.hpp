#pragma once

#include <string>
#include <string_view>

namespace pellucor::text {

// Standard Base64 (RFC 4648 section 4): "+" and "/", "=" padding, no line
// breaks.
std::string encodeBase64(std::string_view bytes);

// Length of encodeBase64's output for `size` input bytes.
std::size_t base64Length(std::size_t size) noexcept;

// True when `text` is the canonical unpadded URL-safe Base64 spelling (RFC 4648
// section 5) of exactly 32 bytes: 43 characters of A-Z a-z 0-9 "-" "_", the
// last of which leaves the two spare bits zero, so that one value has exactly
// one spelling.
bool isCanonicalUrlSafeBase64Of32Bytes(std::string_view text) noexcept;

}  // namespace pellucor::text
