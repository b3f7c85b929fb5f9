#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace pellucor {

// A JSON value tree of operation results. There is no floating-point case:
// builders convert non-integer quantities before they enter a tree.
class JSONValue {
 public:
  enum class Kind : std::uint8_t { string, integer, boolean, object, array, null };

  // Object members are kept in ascending byte order of their keys, which is the
  // order the response encoder writes them in.
  using Object = std::map<std::string, JSONValue, std::less<>>;
  using Array = std::vector<JSONValue>;

  JSONValue() : value_(nullptr) {}
  JSONValue(std::nullptr_t) : value_(nullptr) {}
  JSONValue(std::string text) : value_(std::move(text)) {}
  JSONValue(std::string_view text) : value_(std::string(text)) {}
  JSONValue(const char* text) : value_(std::string(text)) {}
  JSONValue(std::int64_t integer) : value_(integer) {}
  JSONValue(bool boolean) : value_(boolean) {}
  JSONValue(Object object) : value_(std::move(object)) {}
  JSONValue(Array array) : value_(std::move(array)) {}
  // Any other arithmetic type would pick a surprising overload; refuse it.
  template <typename T>
    requires(std::is_arithmetic_v<T> && !std::is_same_v<T, std::int64_t> && !std::is_same_v<T, bool>)
  JSONValue(T) = delete;

  Kind kind() const noexcept { return static_cast<Kind>(value_.index()); }
  bool isString() const noexcept { return kind() == Kind::string; }
  bool isInteger() const noexcept { return kind() == Kind::integer; }
  bool isBool() const noexcept { return kind() == Kind::boolean; }
  bool isObject() const noexcept { return kind() == Kind::object; }
  bool isArray() const noexcept { return kind() == Kind::array; }
  bool isNull() const noexcept { return kind() == Kind::null; }

  // Payload access; the kind must match (checked by std::get).
  const std::string& asString() const { return std::get<std::string>(value_); }
  std::int64_t asInteger() const { return std::get<std::int64_t>(value_); }
  bool asBool() const { return std::get<bool>(value_); }
  const Object& asObject() const { return std::get<Object>(value_); }
  Object& asObject() { return std::get<Object>(value_); }
  const Array& asArray() const { return std::get<Array>(value_); }
  Array& asArray() { return std::get<Array>(value_); }

  // The member `key` of an object, or nullptr when this is not an object or has
  // no such member.
  const JSONValue* find(std::string_view key) const;

  // Same case with equal payloads: texts by canonical equivalence, objects as
  // maps (member order irrelevant), arrays element by element.
  friend bool operator==(const JSONValue& a, const JSONValue& b);

 private:
  std::variant<std::string, std::int64_t, bool, Object, Array, std::nullptr_t> value_;
};

}  // namespace pellucor
