#include "platform/simulated/desktop_value_reader.hpp"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace pellucor::simulated {

namespace {

using platform::AXResult;
using platform::AXValueData;
using platform::PlatformValue;

constexpr std::string_view kChildrenAttribute = "AXChildren";

// A failure status: any non-zero 32-bit status code.
std::int32_t readStatus(const JsonNode& node) {
  if (!node.json().is_number_integer()) node.fail("must be a non-zero integer status");
  const auto status = static_cast<std::int32_t>(
      node.integer(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
  if (status == 0) node.fail("must be a non-zero integer status");
  return status;
}

bool isErrorAnswer(const JsonNode& node) { return node.json().is_object() && node.json().contains("error"); }

AXResult readErrorAnswer(const JsonNode& node) {
  node.expectObject({"error"});
  return {readStatus(*node.member("error")), std::nullopt};
}

PlatformValue readAXValue(const JsonNode& node, AXValueData::Type type, std::size_t count) {
  const std::vector<JsonNode> items = node.items();
  if (items.size() != count) node.fail("must be an array of " + std::to_string(count) + " numbers");
  AXValueData data;
  data.type = type;
  for (std::size_t i = 0; i < count; ++i) {
    if (type == AXValueData::Type::range) {
      data.components[i] = static_cast<double>(
          items[i].integer(std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()));
    } else {
      data.components[i] = readCoordinate(items[i]);
    }
  }
  return PlatformValue::makeAXValue(data);
}

PlatformValue readKindedValue(const JsonNode& node) {
  if (node.json().size() != 1) node.fail("must have exactly one member naming the kind of value");
  const auto first = node.json().begin();
  const std::string kind = first.key();
  const DesktopJson& content = first.value();
  const JsonNode inner(content, memberPath(node.path(), kind));
  if (kind == "number") {
    if (content.is_number()) return PlatformValue::makeFloating(inner.number());
    return PlatformValue::makeFloating(readCoordinate(inner));
  }
  if (kind == "point") return readAXValue(inner, AXValueData::Type::point, 2);
  if (kind == "size") return readAXValue(inner, AXValueData::Type::size, 2);
  if (kind == "rect") return readAXValue(inner, AXValueData::Type::rect, 4);
  if (kind == "range") return readAXValue(inner, AXValueData::Type::range, 2);
  if (kind == "value_error") {
    if (!content.is_boolean() || !content.get<bool>()) inner.fail("must be true");
    AXValueData data;
    data.type = AXValueData::Type::error;
    data.extractable = false;
    return PlatformValue::makeAXValue(data);
  }
  if (kind == "element") return PlatformValue::makeElement(readElement(inner));
  if (kind == "list") {
    std::vector<PlatformValue> values;
    for (const JsonNode& item : inner.items()) values.push_back(readDesktopValue(item));
    return PlatformValue::makeList(std::move(values));
  }
  if (kind == "other") return PlatformValue::makeOther(inner.string());
  inner.fail("is not a known member");
}

// An attribute's answer: a VALUE, {"error": N}, or null for a read that
// succeeds without a value.
AXResult readAttributeAnswer(const JsonNode& node) {
  if (node.isNull()) return {};
  if (isErrorAnswer(node)) return readErrorAnswer(node);
  return {platform::ax_status::kSuccess, readDesktopValue(node)};
}

// The action names: an array (of texts, or of anything else for a value that
// is not a list of texts) or {"error": N}.
AXResult readActions(const JsonNode& node) {
  if (isErrorAnswer(node)) return readErrorAnswer(node);
  if (!node.json().is_array()) node.fail(R"(must be an array or {"error": N})");
  std::vector<PlatformValue> names;
  for (const JsonNode& item : node.items()) names.push_back(readDesktopValue(item));
  return {platform::ax_status::kSuccess, PlatformValue::makeList(std::move(names))};
}

}  // namespace

double readCoordinate(const JsonNode& node) {
  if (node.json().is_number()) return node.number();
  if (node.json().is_string()) {
    const std::string text = node.string();
    if (text == "nan") return std::numeric_limits<double>::quiet_NaN();
    if (text == "inf") return std::numeric_limits<double>::infinity();
    if (text == "-inf") return -std::numeric_limits<double>::infinity();
  }
  node.fail(R"(must be a number or "nan", "inf" or "-inf")");
}

PlatformValue readDesktopValue(const JsonNode& node) {
  const DesktopJson& json = node.json();
  switch (json.type()) {
    case DesktopJson::value_t::string:
      return PlatformValue::makeText(json.get<std::string>());
    case DesktopJson::value_t::boolean:
      return PlatformValue::makeBoolean(json.get<bool>());
    case DesktopJson::value_t::number_integer:
    case DesktopJson::value_t::number_unsigned:
      return PlatformValue::makeInteger(json.get<std::int64_t>());
    case DesktopJson::value_t::number_float:
      return PlatformValue::makeFloating(json.get<double>());
    case DesktopJson::value_t::object:
      return readKindedValue(node);
    case DesktopJson::value_t::array:
      node.fail(R"(must be a value (a list is written {"list": [...]}))");
    case DesktopJson::value_t::null:
    case DesktopJson::value_t::binary:
    case DesktopJson::value_t::discarded:
      break;
  }
  node.fail("must be a value, not null");
}

std::shared_ptr<const SimulatedElement> readElement(const JsonNode& node) {
  node.expectObject({"attributes", "actions", "children"});
  auto element = std::make_shared<SimulatedElement>();
  if (const auto attributes = node.member("attributes")) {
    for (const auto& [name, value] : attributes->entries()) element->attributes[name] = readAttributeAnswer(value);
  }
  element->actions = {platform::ax_status::kSuccess, PlatformValue::makeList({})};
  if (const auto actions = node.member("actions")) element->actions = readActions(*actions);
  if (const auto children = node.member("children")) {
    if (element->attributes.contains(kChildrenAttribute)) {
      children->fail("cannot be given together with attributes.AXChildren");
    }
    std::vector<PlatformValue> childElements;
    for (const JsonNode& child : children->items()) childElements.push_back(PlatformValue::makeElement(readElement(child)));
    element->attributes[std::string(kChildrenAttribute)] = {platform::ax_status::kSuccess,
                                                            PlatformValue::makeList(std::move(childElements))};
  }
  return element;
}

AXResult readFocusedWindowAnswer(const JsonNode& node) {
  if (!node.json().is_object()) node.fail(R"(must be an element, {"error": N} or {"value": V})");
  if (isErrorAnswer(node)) return readErrorAnswer(node);
  if (node.json().contains("value")) {
    node.expectObject({"value"});
    const JsonNode value = *node.member("value");
    if (value.isNull()) return {};
    return {platform::ax_status::kSuccess, readDesktopValue(value)};
  }
  return {platform::ax_status::kSuccess, PlatformValue::makeElement(readElement(node))};
}

}  // namespace pellucor::simulated
