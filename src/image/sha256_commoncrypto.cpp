// SHA-256 through CommonCrypto, the system's digest library on Apple
// platforms.
#include <CommonCrypto/CommonDigest.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "image/image_routines.hpp"
#include "image/sha256_hex.hpp"
#include "platform/platform_error.hpp"

namespace pellucor {

std::string sha256Hex(std::string_view bytes) {
  // CC_SHA256_Update takes a 32-bit length, so a longer input goes in pieces.
  constexpr std::size_t kLargestPiece = std::size_t{1} << 30;
  CC_SHA256_CTX context;
  if (CC_SHA256_Init(&context) != 1) throw platform::PlatformError("SHA-256 digest failed");
  for (std::size_t offset = 0; offset < bytes.size(); offset += kLargestPiece) {
    const std::size_t piece = std::min(kLargestPiece, bytes.size() - offset);
    if (CC_SHA256_Update(&context, bytes.data() + offset, static_cast<CC_LONG>(piece)) != 1) {
      throw platform::PlatformError("SHA-256 digest failed");
    }
  }
  std::array<unsigned char, CC_SHA256_DIGEST_LENGTH> digest{};
  if (CC_SHA256_Final(digest.data(), &context) != 1) throw platform::PlatformError("SHA-256 digest failed");
  return hexDigest(digest);
}

}  // namespace pellucor
