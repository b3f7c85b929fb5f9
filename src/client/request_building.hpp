#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "wire/enumerations.hpp"
#include "wire/records.hpp"

namespace pellucor::client {

// The source of a request's fresh identifier and nonce. Tests substitute a
// fixed one; everything else uses SystemRandomSource.
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // Fills `size` bytes at `bytes`. Throws std::system_error when the source
  // cannot deliver.
  virtual void fill(unsigned char* bytes, std::size_t size) = 0;
};

// The operating system's random source (getentropy), read afresh each time.
class SystemRandomSource final : public RandomSource {
 public:
  void fill(unsigned char* bytes, std::size_t size) override;
};

// A UUID of version 4 (variant 1) in lower-case 8-4-4-4-12 form, from 16
// bytes of `random`.
std::string newRequestID(RandomSource& random);

// 32 bytes of `random` in unpadded URL-safe Base64: 43 characters.
std::string newNonce(RandomSource& random);

// A request with a fresh identifier and nonce. `target` is sent as given (a
// host sets frontmostRequired; the helper refuses false). Throws what
// `random` throws.
Request newRequest(RandomSource& random, PellucorOperation operation, Target target,
                   std::optional<PhysicalKey> key = std::nullopt, std::vector<KeyModifier> modifiers = {});

// The request as the helper reads it: one line of compact JSON and its line
// feed. "params" holds "key" when the request has one, and "modifiers" for a
// hotkey (even an empty list) or whenever the list is not empty; nothing is
// checked here, so that a request the helper refuses can be sent on purpose.
// Throws json::EncodingError when a text is not UTF-8.
std::string requestLine(const Request& request);

}  // namespace pellucor::client
