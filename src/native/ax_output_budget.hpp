#pragma once

#include <cstddef>
#include <string_view>

#include "wire/json_value.hpp"

namespace pellucor {

// The output budget of accessibility results: the compact JSON encoding with
// every "/" counted as two bytes, so that the figure is never below what the
// response will hold.
struct AXOutputBudget {
  AXOutputBudget() = delete;

  // The measured size of `value`. Fails with "ax_encoding_failed" when the
  // value cannot be encoded: a string or member name that is not well-formed
  // UTF-8, which no JSON text can hold.
  static std::size_t encodedSize(const JSONValue& value);

  // True when `size` is over the budget; exactly 1048576 bytes is within it.
  static bool exceeds(std::size_t size) noexcept;
};

// A JSON object under construction that knows its own measured size at every
// moment, so that checking it against the budget after each addition costs
// nothing instead of a re-encoding. size() always equals
// json::measuredSize(the object as it stands); member order is irrelevant to
// the figure.
class MeasuredObject {
 public:
  // Adds a member that is not present yet, measuring `value` once (which
  // throws json::EncodingError for text that is not well-formed UTF-8).
  // Adding a member that is already present is a programming error
  // (std::logic_error).
  void addMember(std::string_view key, JSONValue value);
  // The same, for a value whose measured size the caller already knows.
  void addMember(std::string_view key, JSONValue value, std::size_t valueSize);

  // Appends `element`, whose measured size the caller already knows, to the
  // array member `key`, creating the member with this first element. The
  // member, when present, must be an array (std::logic_error otherwise).
  void appendToArray(std::string_view key, JSONValue element, std::size_t elementSize);

  std::size_t size() const noexcept { return size_; }
  const JSONValue::Object& members() const noexcept { return members_; }

  // Hands the object over and starts again as an empty object.
  JSONValue release();

 private:
  // The bytes a new member adds: its name, the colon, its value, and the comma
  // that separates it from the members already present.
  std::size_t newMemberSize(std::string_view key, std::size_t valueSize) const;

  JSONValue::Object members_;
  std::size_t size_ = 2;  // "{}"
};

}  // namespace pellucor
