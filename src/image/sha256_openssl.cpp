// SHA-256 through OpenSSL's one-shot digest. A macOS build may compile a
// CommonCrypto implementation of sha256Hex in place of this file.
#include <openssl/evp.h>

#include <array>

#include "image/image_routines.hpp"
#include "platform/platform_error.hpp"

namespace pellucor {

std::string sha256Hex(std::string_view bytes) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int digestSize = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &digestSize, EVP_sha256(), nullptr) != 1 ||
      digestSize != 32) {
    throw platform::PlatformError("SHA-256 digest failed");
  }
  constexpr std::string_view kHexDigits = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * digestSize);
  for (unsigned int i = 0; i < digestSize; ++i) {
    hex.push_back(kHexDigits[digest[i] >> 4]);
    hex.push_back(kHexDigits[digest[i] & 0xf]);
  }
  return hex;
}

}  // namespace pellucor
