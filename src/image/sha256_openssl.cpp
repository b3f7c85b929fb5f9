// SHA-256 through OpenSSL's one-shot digest, on every platform but Apple's.
#include <openssl/evp.h>

#include <array>

#include "image/image_routines.hpp"
#include "image/sha256_hex.hpp"
#include "platform/platform_error.hpp"

namespace pellucor {

std::string sha256Hex(std::string_view bytes) {
  std::array<unsigned char, 32> digest{};
  unsigned int digestSize = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &digestSize, EVP_sha256(), nullptr) != 1 ||
      digestSize != digest.size()) {
    throw platform::PlatformError("SHA-256 digest failed");
  }
  return hexDigest(digest);
}

}  // namespace pellucor
