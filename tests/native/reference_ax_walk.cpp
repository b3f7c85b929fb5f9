#include "native/reference_ax_walk.hpp"

#include <string>
#include <vector>

#include "native/accessibility_reading.hpp"
#include "native/ax_string_sanitizer.hpp"
#include "native/ax_tree_walk.hpp"
#include "wire/json_encoder.hpp"

namespace pellucor::testing {
namespace {

using platform::PlatformHandle;
using platform::PlatformValue;

// Measures the object in full, member by member, without copying it.
void measure(const JSONValue::Object& object) {
  std::size_t size = 2 + (object.empty() ? 0 : object.size() - 1);
  for (const auto& [key, value] : object) size += json::measuredStringSize(key) + 1 + json::measuredSize(value);
  if (size > ax_limits::kOutputBudgetBytes) fail(ax_errors::kTooLarge);
}

JSONValue encode(const platform::AccessibilityService& service, const PlatformHandle& element, int depth, int& count,
                 const MonotonicDeadline& deadline) {
  deadline.check();
  if (depth > ax_limits::kMaximumDepth) fail(ax_errors::kTooDeep);
  if (++count > ax_limits::kMaximumElements) fail(ax_errors::kTooManyNodes);
  JSONValue::Object object;
  for (const auto& [member, attribute] : kAXElementAttributes) {
    const auto answer = service.copyAttributeValue(element, attribute);
    if (answer.status != 0 || !answer.value) continue;
    auto converted = axValue(*answer.value);
    if (!converted) continue;
    object.insert_or_assign(std::string(member), *converted);
    measure(object);
  }
  const auto actions = service.copyActionNames(element);
  if (actions.status == 0 && actions.value && actions.value->kind == PlatformValue::Kind::list) {
    bool allText = true;
    for (const auto& name : actions.value->list) allText = allText && name.kind == PlatformValue::Kind::text;
    if (allText) {
      for (const auto& name : actions.value->list) {
        std::string escaped = AXStringSanitizer::escape(name.text);
        auto& list = object.try_emplace("actions", JSONValue::Array{}).first->second.asArray();
        list.emplace_back(std::move(escaped));
        measure(object);
      }
    }
  }
  std::vector<PlatformHandle> children;
  const auto childList = service.copyAttributeValue(element, "AXChildren");
  if (childList.status == 0 && childList.value && childList.value->kind == PlatformValue::Kind::list) {
    for (const auto& item : childList.value->list) {
      if (item.kind != PlatformValue::Kind::element || !item.element) {
        children.clear();
        break;
      }
      children.push_back(item.element);
    }
  }
  for (const auto& child : children) {
    JSONValue encoded = encode(service, child, depth + 1, count, deadline);
    object.try_emplace("children", JSONValue::Array{}).first->second.asArray().push_back(std::move(encoded));
    measure(object);
  }
  measure(object);
  return JSONValue(std::move(object));
}

}  // namespace

JSONValue referenceEncodeAX(const platform::AccessibilityService& service, const PlatformHandle& window,
                            const MonotonicDeadline& deadline) {
  int count = 0;
  return encode(service, window, 0, count, deadline);
}

}  // namespace pellucor::testing
