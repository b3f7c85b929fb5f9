#include "native/ax_tree_walk.hpp"

#include <cmath>
#include <vector>

#include "native/accessibility_reading.hpp"
#include "native/ax_output_budget.hpp"
#include "native/ax_string_sanitizer.hpp"
#include "native/truncation.hpp"
#include "wire/json_encoder.hpp"

namespace pellucor {
namespace {

using platform::AXValueData;
using platform::PlatformHandle;
using platform::PlatformValue;

constexpr std::string_view kChildrenAttribute = "AXChildren";
constexpr std::string_view kActionsMember = "actions";
constexpr std::string_view kChildrenMember = "children";

std::optional<JSONValue> pair(std::string_view first, std::string_view second, const AXValueData& data) {
  const auto a = truncatedTo<std::int64_t>(data.components[0]);
  const auto b = truncatedTo<std::int64_t>(data.components[1]);
  if (!a || !b) return std::nullopt;
  JSONValue::Object object;
  object.emplace(std::string(first), *a);
  object.emplace(std::string(second), *b);
  return std::optional<JSONValue>(std::in_place, std::move(object));
}

std::optional<JSONValue> fromAXValue(const AXValueData& data) {
  if (!data.extractable) return std::nullopt;
  switch (data.type) {
    case AXValueData::Type::point:
      return pair("x", "y", data);
    case AXValueData::Type::size:
      return pair("width", "height", data);
    case AXValueData::Type::rect:
    case AXValueData::Type::range:
    case AXValueData::Type::error:
      return std::nullopt;
  }
  return std::nullopt;
}

// The elements of a child list. A failed read, no value, or a value that is
// not a list made only of elements all mean: no children.
std::vector<PlatformHandle> childrenOf(const platform::AccessibilityService& service, const PlatformHandle& element) {
  auto answer = service.copyAttributeValue(element, kChildrenAttribute);
  if (answer.status != platform::ax_status::kSuccess || !answer.value ||
      answer.value->kind != PlatformValue::Kind::list) {
    return {};
  }
  std::vector<PlatformHandle> children;
  children.reserve(answer.value->list.size());
  for (auto& item : answer.value->list) {
    if (item.kind != PlatformValue::Kind::element || !item.element) return {};
    children.push_back(std::move(item.element));
  }
  return children;
}

class Walk {
 public:
  Walk(const platform::AccessibilityService& service, const MonotonicDeadline& deadline)
      : service_(service), deadline_(deadline) {}

  AXWalkResult element(const PlatformHandle& element, int depth) {
    deadline_.check();
    if (depth > ax_limits::kMaximumDepth) fail(ax_errors::kTooDeep);
    if (++count_ > ax_limits::kMaximumElements) fail(ax_errors::kTooManyNodes);

    MeasuredObject object;
    for (const auto& [member, attribute] : kAXElementAttributes) {
      const auto answer = service_.copyAttributeValue(element, attribute);
      if (answer.status != platform::ax_status::kSuccess || !answer.value) continue;
      if (answer.value->kind == PlatformValue::Kind::text) {
        // Texts are the bulk of a tree: escaping measures them on the way.
        auto escaped = AXStringSanitizer::escapeMeasured(answer.value->text);
        object.addMember(member, JSONValue(std::move(escaped.text)), escaped.measuredSize);
        withinBudget(object);
        continue;
      }
      auto converted = axValue(*answer.value);
      if (!converted) continue;
      object.addMember(member, std::move(*converted));
      withinBudget(object);
    }
    addActions(element, object);
    for (const auto& child : childrenOf(service_, element)) {
      auto encoded = this->element(child, depth + 1);
      object.appendToArray(kChildrenMember, std::move(encoded.tree), encoded.measuredSize);
      withinBudget(object);
    }
    withinBudget(object);
    const std::size_t size = object.size();
    return {object.release(), size};
  }

 private:
  static void withinBudget(const MeasuredObject& object) {
    if (AXOutputBudget::exceeds(object.size())) fail(ax_errors::kTooLarge);
  }

  // Only a list made entirely of texts is taken; anything else, an empty list
  // included, leaves the member out.
  void addActions(const PlatformHandle& element, MeasuredObject& object) {
    const auto answer = service_.copyActionNames(element);
    if (answer.status != platform::ax_status::kSuccess || !answer.value ||
        answer.value->kind != PlatformValue::Kind::list) {
      return;
    }
    const auto& names = answer.value->list;
    for (const auto& name : names) {
      if (name.kind != PlatformValue::Kind::text) return;
    }
    for (const auto& name : names) {
      auto escaped = AXStringSanitizer::escapeMeasured(name.text);
      object.appendToArray(kActionsMember, JSONValue(std::move(escaped.text)), escaped.measuredSize);
      withinBudget(object);
    }
  }

  const platform::AccessibilityService& service_;
  const MonotonicDeadline& deadline_;
  int count_ = 0;
};

}  // namespace

AXWalkResult encodeAX(const platform::AccessibilityService& service, const PlatformHandle& window,
                      const MonotonicDeadline& deadline) {
  return Walk(service, deadline).element(window, 0);
}

std::optional<JSONValue> axValue(const PlatformValue& value) {
  switch (value.kind) {
    case PlatformValue::Kind::text:
      return std::optional<JSONValue>(std::in_place, AXStringSanitizer::escape(value.text));
    case PlatformValue::Kind::boolean:
      return std::optional<JSONValue>(std::in_place, value.boolean);
    case PlatformValue::Kind::integer:
      return std::optional<JSONValue>(std::in_place, value.integer);
    case PlatformValue::Kind::floating: {
      const auto truncated = truncatedTo<std::int64_t>(value.floating);
      if (!truncated) return std::nullopt;
      return std::optional<JSONValue>(std::in_place, *truncated);
    }
    case PlatformValue::Kind::axValue:
      return fromAXValue(value.axValue);
    case PlatformValue::Kind::element:
    case PlatformValue::Kind::list:
    case PlatformValue::Kind::dictionary:
    case PlatformValue::Kind::other:
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace pellucor
