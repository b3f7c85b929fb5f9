#include "native/ax_tree_policy.hpp"

#include <string_view>
#include <vector>

#include "text/text_equality.hpp"

namespace pellucor {
namespace {

constexpr std::string_view kMarkerIdentifier = "plugin-application-browser-root";

std::string expectedDescription(const Target& target) {
  return target.surface + " application_id=" + target.applicationID + " application_name=" + target.applicationName +
         " application_revision=" + target.applicationRevision;
}

bool isMarker(const JSONValue& node, std::string_view description) {
  const auto identifier = AXTreePolicy::scalar(node.find("identifier"));
  if (!identifier || !text::textEquals(*identifier, kMarkerIdentifier)) return false;
  const auto found = AXTreePolicy::scalar(node.find("description"));
  return found && text::textEquals(*found, description);
}

}  // namespace

bool AXTreePolicy::markerMatches(const JSONValue& node, const Target& target) {
  const std::string description = expectedDescription(target);
  // An explicit stack in place of recursion keeps a deeply nested tree from
  // exhausting the call stack. Children are pushed last to first, so they are
  // visited first to last, exactly as a recursive search would.
  std::vector<const JSONValue*> pending{&node};
  while (!pending.empty()) {
    const JSONValue* current = pending.back();
    pending.pop_back();
    if (!current->isObject()) continue;
    if (isMarker(*current, description)) return true;
    const JSONValue* children = current->find("children");
    if (children == nullptr || !children->isArray()) continue;
    const auto& list = children->asArray();
    for (auto child = list.rbegin(); child != list.rend(); ++child) pending.push_back(&*child);
  }
  return false;
}

std::optional<std::string> AXTreePolicy::scalar(const JSONValue* value) {
  if (value == nullptr) return std::nullopt;
  if (value->isString()) return value->asString();
  if (value->isInteger()) return std::to_string(value->asInteger());
  return std::nullopt;
}

}  // namespace pellucor
