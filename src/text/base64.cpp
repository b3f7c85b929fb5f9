#include "text/base64.hpp"

#include <array>
#include <cstdint>

namespace pellucor::text {
namespace {

constexpr std::string_view kStandardAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Value of a URL-safe Base64 character, or -1.
constexpr int urlSafeValue(char c) noexcept {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '-') return 62;
  if (c == '_') return 63;
  return -1;
}

}  // namespace

std::size_t base64Length(std::size_t size) noexcept { return (size + 2) / 3 * 4; }

std::string encodeBase64(std::string_view bytes) {
  std::string out(base64Length(bytes.size()), '=');
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  char* o = out.data();
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | in[i + 2];
    *o++ = kStandardAlphabet[(v >> 18) & 63];
    *o++ = kStandardAlphabet[(v >> 12) & 63];
    *o++ = kStandardAlphabet[(v >> 6) & 63];
    *o++ = kStandardAlphabet[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    std::uint32_t v = std::uint32_t{in[i]} << 16;
    if (rest == 2) v |= std::uint32_t{in[i + 1]} << 8;
    *o++ = kStandardAlphabet[(v >> 18) & 63];
    *o++ = kStandardAlphabet[(v >> 12) & 63];
    if (rest == 2) *o++ = kStandardAlphabet[(v >> 6) & 63];
  }
  return out;
}

bool isCanonicalUrlSafeBase64Of32Bytes(std::string_view text) noexcept {
  // 32 bytes are 256 bits; 43 characters carry 258, so the last character's
  // two low bits are spare and must be zero.
  if (text.size() != 43) return false;
  for (const char c : text) {
    if (urlSafeValue(c) < 0) return false;
  }
  return (urlSafeValue(text.back()) & 0x3) == 0;
}

}  // namespace pellucor::text
