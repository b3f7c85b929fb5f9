#include "wire/json_value.hpp"

#include <algorithm>

#include "text/text_equality.hpp"

namespace pellucor {
namespace {

bool objectsEqual(const JSONValue::Object& a, const JSONValue::Object& b) {
  if (a.size() != b.size()) return false;
  // Keys of our own trees are byte-identical when they are equal; try that
  // first, then fall back to matching keys by canonical equivalence.
  const bool sameKeys = std::equal(a.begin(), a.end(), b.begin(),
                                   [](const auto& x, const auto& y) { return x.first == y.first; });
  if (sameKeys) {
    return std::equal(a.begin(), a.end(), b.begin(),
                      [](const auto& x, const auto& y) { return x.second == y.second; });
  }
  std::vector<bool> used(b.size(), false);
  for (const auto& [key, value] : a) {
    bool matched = false;
    std::size_t index = 0;
    for (auto it = b.begin(); it != b.end(); ++it, ++index) {
      if (!used[index] && text::textEquals(key, it->first) && value == it->second) {
        used[index] = true;
        matched = true;
        break;
      }
    }
    if (!matched) return false;
  }
  return true;
}

}  // namespace

const JSONValue* JSONValue::find(std::string_view key) const {
  if (!isObject()) return nullptr;
  const auto& object = asObject();
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &it->second;
}

bool operator==(const JSONValue& a, const JSONValue& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case JSONValue::Kind::string:
      return text::textEquals(a.asString(), b.asString());
    case JSONValue::Kind::integer:
      return a.asInteger() == b.asInteger();
    case JSONValue::Kind::boolean:
      return a.asBool() == b.asBool();
    case JSONValue::Kind::object:
      return objectsEqual(a.asObject(), b.asObject());
    case JSONValue::Kind::array:
      return a.asArray() == b.asArray();
    case JSONValue::Kind::null:
      return true;
  }
  return false;
}

}  // namespace pellucor
