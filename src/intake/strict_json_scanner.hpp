#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "wire/pellucor_error.hpp"

namespace pellucor {

struct ScannedMember;

// The generic tree the scanner builds while it validates. Strings hold their
// decoded text; integers keep the digits as written, so that a number of any
// length reaches the typed decoding intact and is judged there.
struct ScannedValue {
  enum class Kind : std::uint8_t { string, integer, boolean, null, object, array };

  Kind kind = Kind::null;
  std::string text;  // decoded string, or an integer's literal ("-0", "123")
  bool boolean = false;
  std::vector<ScannedMember> members;  // object members in the order read
  std::vector<ScannedValue> elements;  // array elements

  // The member named exactly `key` (decoded text, byte for byte), or nullptr.
  const ScannedValue* member(std::string_view key) const;
};

struct ScannedMember {
  std::string key;
  ScannedValue value;
};

// A strict validating pass over the raw request line, run before anything
// decodes it. It narrows JSON to a bounded subset: well-formed UTF-8, one value
// with only whitespace around it, depth at most 8, at most 64 members per
// object and no key twice (canonically equivalent keys are the same key),
// strings of at most 4096 raw bytes with the standard escapes only, and numbers
// only as decimal integers without leading zeros.
//
// Both operations fail with a PellucorError naming the first violation in
// reading order, and with nothing else.
class StrictJSONScanner {
 public:
  explicit StrictJSONScanner(std::string_view bytes) : bytes_(bytes) {}

  void validate() const;
  // Validates and returns the tree of the one value.
  ScannedValue scan() const;

  static constexpr int kMaximumDepth = 8;
  static constexpr std::size_t kMaximumMembers = 64;
  static constexpr std::size_t kMaximumStringBytes = 4096;

 private:
  std::string_view bytes_;
};

namespace scanner_errors {
inline constexpr ErrorSpec kNotUtf8{"invalid_json", "request is not UTF-8"};
inline constexpr ErrorSpec kMalformed{"invalid_json", "malformed JSON"};
inline constexpr ErrorSpec kTrailingData{"invalid_json", "trailing JSON data"};
inline constexpr ErrorSpec kTooDeep{"json_too_deep", "JSON depth exceeds 8"};
inline constexpr ErrorSpec kTooManyMembers{"too_many_members", "object has more than 64 members"};
inline constexpr ErrorSpec kDuplicateKey{"duplicate_key", "duplicate JSON object key"};
inline constexpr ErrorSpec kStringTooLong{"string_too_long", "JSON string exceeds 4096 bytes"};
inline constexpr ErrorSpec kNonInteger{"non_integer", "all JSON numbers must be decimal integers"};
}  // namespace scanner_errors

}  // namespace pellucor
