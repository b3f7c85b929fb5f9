#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/simulated/desktop_json.hpp"

namespace pellucor::simulated {

// One value of a desktop file together with its member path, so that every
// refusal names the member it is about. Each accessor throws FormatViolation
// ("<path> must be ...") when the value has another type.
class JsonNode {
 public:
  JsonNode(const DesktopJson& json, std::string path) : json_(&json), path_(std::move(path)) {}

  const DesktopJson& json() const noexcept { return *json_; }
  const std::string& path() const noexcept { return path_; }
  bool isNull() const noexcept { return json_->is_null(); }

  [[noreturn]] void fail(std::string_view predicate) const;

  // An object whose members are all among `known` (the first other member,
  // in file order, is refused).
  void expectObject(std::initializer_list<std::string_view> known) const;
  // The member `name` of an object; nothing when absent.
  std::optional<JsonNode> member(std::string_view name) const;
  // Every member of an object used as a map, in file order.
  std::vector<std::pair<std::string, JsonNode>> entries() const;
  // Every item of an array.
  std::vector<JsonNode> items() const;

  std::string string() const;
  std::optional<std::string> stringOrNull() const;
  bool boolean() const;
  std::int64_t integer(std::int64_t minimum, std::int64_t maximum) const;
  // Any JSON number.
  double number() const;

 private:
  const DesktopJson* json_;
  std::string path_;
};

}  // namespace pellucor::simulated
