#pragma once

#include <optional>
#include <string>

#include "wire/json_value.hpp"
#include "wire/records.hpp"

namespace pellucor {

// Finding the node by which the target's window shows which plugin
// application it holds.
struct AXTreePolicy {
  AXTreePolicy() = delete;

  // True when `node` or any element below it (through "children" arrays,
  // depth first, a node before its children) has the identifier
  // "plugin-application-browser-root" and the description
  //   <surface> application_id=<id> application_name=<name> application_revision=<revision>
  // of `target`, both by canonical equivalence and nothing else: no prefix,
  // substring or case-insensitive match. A node whose identifier matches but
  // whose description does not is passed over, and the search goes on below
  // it. A node that is not an object, or a "children" member that is not an
  // array, ends the search on that branch. Never fails.
  static bool markerMatches(const JSONValue& node, const Target& target);

  // The text of a string, or the decimal text of an integer; nothing for any
  // other kind, or for no value at all.
  static std::optional<std::string> scalar(const JSONValue* value);
};

}  // namespace pellucor
