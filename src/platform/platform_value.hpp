#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pellucor::platform {

// An object the platform hands out and takes back (an accessibility element, a
// code object, a window, an event). Each implementation of the services
// derives its own objects from it; code above the services only holds them
// and passes them back. Released with their last holder.
class PlatformObject {
 public:
  virtual ~PlatformObject() = default;
};
using PlatformHandle = std::shared_ptr<const PlatformObject>;

// A rectangle in points (origin x, origin y, width, height), stored as the
// platform reports it: not standardised, components possibly not finite.
struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// The payload of an accessibility value object (the platform's AXValue).
struct AXValueData {
  enum class Type : std::uint8_t { point, size, rect, range, error };
  Type type = Type::point;
  // point: x, y; size: width, height; rect: x, y, width, height;
  // range: location, length.
  double components[4] = {0, 0, 0, 0};
  // False when the platform cannot extract the payload of this type.
  bool extractable = true;
};

// A value as the platform types it, for the answers that can hold values of
// any type: accessibility attributes and action lists, info-dictionary
// entries, signing information, window-list entries.
struct PlatformValue {
  enum class Kind : std::uint8_t {
    text,        // a string
    boolean,     // a Boolean number
    integer,     // a number holding an integer
    floating,    // a number holding a floating-point value (possibly not finite)
    axValue,     // an accessibility value object
    element,     // an accessibility element reference
    list,        // an array of values
    dictionary,  // a dictionary with text keys
    other,       // a value of any other type
  };

  // Declared, so that clang with libstdc++ does not need this type complete
  // while it checks the dictionary's pair for implicit default construction.
  PlatformValue() = default;

  Kind kind = Kind::other;
  std::string text;  // text; for `other`, a description for diagnostics
  bool boolean = false;
  std::int64_t integer = 0;
  double floating = 0;
  AXValueData axValue;
  PlatformHandle element;
  std::vector<PlatformValue> list;
  std::vector<std::pair<std::string, PlatformValue>> dictionary;

  static PlatformValue makeText(std::string value) {
    PlatformValue v;
    v.kind = Kind::text;
    v.text = std::move(value);
    return v;
  }
  static PlatformValue makeBoolean(bool value) {
    PlatformValue v;
    v.kind = Kind::boolean;
    v.boolean = value;
    return v;
  }
  static PlatformValue makeInteger(std::int64_t value) {
    PlatformValue v;
    v.kind = Kind::integer;
    v.integer = value;
    return v;
  }
  static PlatformValue makeFloating(double value) {
    PlatformValue v;
    v.kind = Kind::floating;
    v.floating = value;
    return v;
  }
  static PlatformValue makeAXValue(AXValueData value) {
    PlatformValue v;
    v.kind = Kind::axValue;
    v.axValue = value;
    return v;
  }
  static PlatformValue makeElement(PlatformHandle value) {
    PlatformValue v;
    v.kind = Kind::element;
    v.element = std::move(value);
    return v;
  }
  static PlatformValue makeList(std::vector<PlatformValue> values) {
    PlatformValue v;
    v.kind = Kind::list;
    v.list = std::move(values);
    return v;
  }
  static PlatformValue makeOther(std::string description = {}) {
    PlatformValue v;
    v.kind = Kind::other;
    v.text = std::move(description);
    return v;
  }

  // The dictionary entry `key`, or nullptr when this is not a dictionary or has
  // no such entry.
  const PlatformValue* entry(std::string_view key) const {
    if (kind != Kind::dictionary) return nullptr;
    for (const auto& [name, value] : dictionary) {
      if (name == key) return &value;
    }
    return nullptr;
  }
};

// The text of `value`, when there is a value and it is text.
inline std::optional<std::string> textOf(const std::optional<PlatformValue>& value) {
  if (!value || value->kind != PlatformValue::Kind::text) return std::nullopt;
  return value->text;
}

}  // namespace pellucor::platform
