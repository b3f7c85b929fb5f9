#include "platform/simulated/json_node.hpp"

#include <algorithm>

namespace pellucor::simulated {

void JsonNode::fail(std::string_view predicate) const {
  throw FormatViolation(describePath(path_) + " " + std::string(predicate));
}

void JsonNode::expectObject(std::initializer_list<std::string_view> known) const {
  if (!json_->is_object()) fail("must be an object");
  for (const auto& [name, value] : json_->items()) {
    if (std::find(known.begin(), known.end(), name) == known.end()) {
      JsonNode(value, memberPath(path_, name)).fail("is not a known member");
    }
  }
}

std::optional<JsonNode> JsonNode::member(std::string_view name) const {
  if (!json_->is_object()) fail("must be an object");
  const auto found = json_->find(std::string(name));
  if (found == json_->end()) return std::nullopt;
  return JsonNode(*found, memberPath(path_, name));
}

std::vector<std::pair<std::string, JsonNode>> JsonNode::entries() const {
  if (!json_->is_object()) fail("must be an object");
  std::vector<std::pair<std::string, JsonNode>> result;
  for (const auto& [name, value] : json_->items()) result.emplace_back(name, JsonNode(value, memberPath(path_, name)));
  return result;
}

std::vector<JsonNode> JsonNode::items() const {
  if (!json_->is_array()) fail("must be an array");
  std::vector<JsonNode> result;
  for (std::size_t i = 0; i < json_->size(); ++i) result.emplace_back((*json_)[i], itemPath(path_, i));
  return result;
}

std::string JsonNode::string() const {
  if (!json_->is_string()) fail("must be a string");
  return json_->get<std::string>();
}

std::optional<std::string> JsonNode::stringOrNull() const {
  if (json_->is_null()) return std::nullopt;
  if (!json_->is_string()) fail("must be a string or null");
  return json_->get<std::string>();
}

bool JsonNode::boolean() const {
  if (!json_->is_boolean()) fail("must be true or false");
  return json_->get<bool>();
}

std::int64_t JsonNode::integer(std::int64_t minimum, std::int64_t maximum) const {
  if (!json_->is_number_integer()) fail("must be an integer");
  const auto value = json_->get<std::int64_t>();
  if (value < minimum || value > maximum) {
    fail("must be an integer from " + std::to_string(minimum) + " to " + std::to_string(maximum));
  }
  return value;
}

double JsonNode::number() const {
  if (!json_->is_number()) fail("must be a number");
  return json_->is_number_integer() ? static_cast<double>(json_->get<std::int64_t>()) : json_->get<double>();
}

}  // namespace pellucor::simulated
