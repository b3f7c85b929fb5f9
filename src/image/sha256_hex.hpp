#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace pellucor {

// A 32-byte digest as 64 lowercase hexadecimal digits, most significant digit
// of each byte first. Shared by the digest implementations the build chooses
// between.
inline std::string hexDigest(const std::array<unsigned char, 32>& digest) {
  constexpr std::string_view kHexDigits = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * digest.size());
  for (const unsigned char byte : digest) {
    hex.push_back(kHexDigits[byte >> 4]);
    hex.push_back(kHexDigits[byte & 0xf]);
  }
  return hex;
}

}  // namespace pellucor
