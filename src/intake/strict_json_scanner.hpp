#pragma once

#include <cstddef>
#include <string_view>

#include "wire/pellucor_error.hpp"

namespace pellucor {

// A strict validating pass over the raw request line, run before anything
// decodes it. It narrows JSON to a bounded subset: well-formed UTF-8, one value
// with only whitespace around it, depth at most 8, at most 64 members per
// object and no key twice (canonically equivalent keys are the same key),
// strings of at most 4096 raw bytes with the standard escapes only and no
// unpaired surrogate, and numbers only as decimal integers without leading
// zeros. It builds nothing; what it accepts is read with accepted_json.
//
// validate() fails with a PellucorError naming the first violation in reading
// order, and with nothing else (memory exhaustion aside).
//
// The depth and string bounds can be widened for other texts than the request
// line (the host-side client reads the helper's responses with it); the error
// messages keep naming the request line's bounds.
struct StrictJSONLimits {
  int maximumDepth = 8;
  std::size_t maximumStringBytes = 4096;
};

class StrictJSONScanner {
 public:
  explicit StrictJSONScanner(std::string_view bytes, StrictJSONLimits limits = {})
      : bytes_(bytes), limits_(limits) {}

  void validate() const;

  static constexpr int kMaximumDepth = StrictJSONLimits{}.maximumDepth;
  static constexpr std::size_t kMaximumMembers = 64;
  static constexpr std::size_t kMaximumStringBytes = StrictJSONLimits{}.maximumStringBytes;

 private:
  std::string_view bytes_;
  StrictJSONLimits limits_;
};

namespace scanner_errors {
inline constexpr ErrorDefinition kNotUtf8{"invalid_json", "request is not UTF-8"};
inline constexpr ErrorDefinition kMalformed{"invalid_json", "malformed JSON"};
inline constexpr ErrorDefinition kTrailingData{"invalid_json", "trailing JSON data"};
inline constexpr ErrorDefinition kTooDeep{"json_too_deep", "JSON depth exceeds 8"};
inline constexpr ErrorDefinition kTooManyMembers{"too_many_members", "object has more than 64 members"};
inline constexpr ErrorDefinition kDuplicateKey{"duplicate_key", "duplicate JSON object key"};
inline constexpr ErrorDefinition kStringTooLong{"string_too_long", "JSON string exceeds 4096 bytes"};
inline constexpr ErrorDefinition kNonInteger{"non_integer", "all JSON numbers must be decimal integers"};
}  // namespace scanner_errors

}  // namespace pellucor
