#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

#include "native/monotonic_deadline.hpp"
#include "platform/accessibility.hpp"
#include "wire/json_value.hpp"

namespace pellucor {

// The attributes read from every element, as (JSON member, accessibility
// attribute) pairs in reading order.
inline constexpr std::array<std::pair<std::string_view, std::string_view>, 10> kAXElementAttributes{{
    {"role", "AXRole"},
    {"subrole", "AXSubrole"},
    {"title", "AXTitle"},
    {"description", "AXDescription"},
    {"identifier", "AXIdentifier"},
    {"value", "AXValue"},
    {"enabled", "AXEnabled"},
    {"focused", "AXFocused"},
    {"position", "AXPosition"},
    {"size", "AXSize"},
}};

// An element tree and its measured size (AXOutputBudget), which the walk keeps
// current as it builds instead of re-encoding.
struct AXWalkResult {
  JSONValue tree;
  std::size_t measuredSize = 0;
};

// Encodes `window` and everything below it, depth first: an element's
// attributes, then its action names, then its children in the platform's
// order, each child's subtree finished before the next child is read.
//
// Every element is an object holding the members of kAXElementAttributes whose
// values could be read and converted (axValue), "actions" when it reports at
// least one action name, and "children" when it has at least one child.
//
// Fails, discarding everything built, with:
// - "operation_timeout" when the deadline has passed on entry to an element;
// - "ax_too_deep" for an element deeper than 12 (the window is depth 0);
// - "ax_too_many_nodes" at the 501st element;
// - "ax_too_large" as soon as the element being built measures more than
//   1048576 bytes after any member, action name or child is added;
// - "ax_string_too_large" / "ax_encoding_failed" from escaping a text.
// A platform::PlatformError thrown by the service passes through.
AXWalkResult encodeAX(const platform::AccessibilityService& service, const platform::PlatformHandle& window,
                      const MonotonicDeadline& deadline);

// The JSON form of one attribute value, or nothing when its kind is not
// carried: text gives its escaped string (escaping may fail as above), a
// Boolean a bool, an integer itself, a floating number its value truncated
// toward zero (nothing when not finite or outside the signed 64-bit range),
// an extractable point {"x", "y"} and size {"width", "height"} with their
// components truncated likewise. Everything else gives nothing.
std::optional<JSONValue> axValue(const platform::PlatformValue& value);

}  // namespace pellucor
