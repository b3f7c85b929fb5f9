#pragma once

#include <memory>

#include "platform/accessibility.hpp"
#include "platform/platform_value.hpp"
#include "platform/simulated/desktop_model.hpp"
#include "platform/simulated/json_node.hpp"

namespace pellucor::simulated {

// The typed values and accessibility elements of a desktop file. Each throws
// FormatViolation naming the member that does not match.

// A VALUE: a string, a Boolean, an integer literal, a number with a fraction
// or exponent, or an object with exactly one member naming its kind
// (number, point, size, rect, range, value_error, element, list, other).
platform::PlatformValue readDesktopValue(const JsonNode& node);

// A coordinate of a point, size, rectangle or frame: a number, or one of
// "nan", "inf" and "-inf".
double readCoordinate(const JsonNode& node);

// An ELEMENT: {"attributes", "actions", "children"}.
std::shared_ptr<const SimulatedElement> readElement(const JsonNode& node);

// The answer of reading a focused window: an ELEMENT, {"error": N} (the read
// fails with status N) or {"value": V} (it succeeds with V, or with no value
// when V is null).
platform::AXResult readFocusedWindowAnswer(const JsonNode& node);

}  // namespace pellucor::simulated
