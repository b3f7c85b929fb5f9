#include "platform/macos/cf_value.hpp"

#include <ApplicationServices/ApplicationServices.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/macos/cf_object.hpp"
#include "text/utf16.hpp"

namespace pellucor::platform::macos {
namespace {

static_assert(sizeof(UniChar) == sizeof(char16_t));

// The string's UTF-16 units, read in one piece.
std::u16string utf16Units(CFStringRef string) {
  const CFIndex length = CFStringGetLength(string);
  if (const UniChar* direct = CFStringGetCharactersPtr(string)) {
    return std::u16string(direct, direct + length);
  }
  std::vector<UniChar> units(static_cast<std::size_t>(length));
  CFStringGetCharacters(string, CFRangeMake(0, length), units.data());
  return std::u16string(units.begin(), units.end());
}

std::string typeDescription(CFTypeRef value) {
  const auto description = CFRef<CFStringRef>::adopt(CFCopyTypeIDDescription(CFGetTypeID(value)));
  return description ? utf8String(description.get()) : std::string();
}

PlatformValue numberValue(CFNumberRef number) {
  if (CFNumberIsFloatType(number)) {
    double value = 0;
    if (CFNumberGetValue(number, kCFNumberDoubleType, &value)) return PlatformValue::makeFloating(value);
  } else {
    // False when the integer does not fit in 64 bits.
    std::int64_t value = 0;
    if (CFNumberGetValue(number, kCFNumberSInt64Type, &value)) return PlatformValue::makeInteger(value);
  }
  return PlatformValue::makeOther(typeDescription(number));
}

// The payload of type T read through AXValueGetValue; nothing when the
// platform cannot extract it.
template <typename T>
std::optional<T> payload(AXValueRef value, AXValueType type) {
  T structure{};
  if (!AXValueGetValue(value, type, &structure)) return std::nullopt;
  return structure;
}

PlatformValue axValue(AXValueRef value) {
  AXValueData data;
  // An unreadable payload keeps its type, with zero components.
  const auto make = [&data](AXValueData::Type type, const auto& structure, auto components) {
    data.type = type;
    data.extractable = structure.has_value();
    if (structure) components(*structure);
    return PlatformValue::makeAXValue(data);
  };
  const AXValueType type = AXValueGetType(value);
  switch (type) {
    case kAXValueTypeCGPoint:
      return make(AXValueData::Type::point, payload<CGPoint>(value, type), [&data](const CGPoint& point) {
        data.components[0] = point.x;
        data.components[1] = point.y;
      });
    case kAXValueTypeCGSize:
      return make(AXValueData::Type::size, payload<CGSize>(value, type), [&data](const CGSize& size) {
        data.components[0] = size.width;
        data.components[1] = size.height;
      });
    case kAXValueTypeCGRect:
      return make(AXValueData::Type::rect, payload<CGRect>(value, type), [&data](const CGRect& rect) {
        data.components[0] = rect.origin.x;
        data.components[1] = rect.origin.y;
        data.components[2] = rect.size.width;
        data.components[3] = rect.size.height;
      });
    case kAXValueTypeCFRange:
      return make(AXValueData::Type::range, payload<CFRange>(value, type), [&data](const CFRange& range) {
        data.components[0] = static_cast<double>(range.location);
        data.components[1] = static_cast<double>(range.length);
      });
    case kAXValueTypeAXError:
      return make(AXValueData::Type::error, payload<AXError>(value, type),
                  [&data](AXError error) { data.components[0] = error; });
    case kAXValueTypeIllegal:
      break;
  }
  // A structure the accessibility API does not know (illegal, or a type newer
  // than this code) has no type to report.
  return PlatformValue::makeOther(typeDescription(value));
}

PlatformValue listValue(CFArrayRef array) {
  const CFIndex count = CFArrayGetCount(array);
  std::vector<PlatformValue> values;
  values.reserve(static_cast<std::size_t>(count));
  for (CFIndex i = 0; i < count; ++i) values.push_back(platformValue(CFArrayGetValueAtIndex(array, i)));
  return PlatformValue::makeList(std::move(values));
}

PlatformValue dictionaryValue(CFDictionaryRef dictionary) {
  const auto count = static_cast<std::size_t>(CFDictionaryGetCount(dictionary));
  std::vector<const void*> keys(count);
  std::vector<const void*> values(count);
  CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());

  // Two keys that differ only in unpaired surrogates have the same UTF-8
  // form; their UTF-16 units order them, so the answer never depends on the
  // dictionary's internal order.
  struct Entry {
    std::string key;
    std::u16string units;
    CFTypeRef value;
  };
  std::vector<Entry> entries;
  entries.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const auto key = cfCast<CFStringRef>(keys[i]);
    if (key == nullptr) continue;
    auto units = utf16Units(key);
    entries.push_back({text::utf8FromUTF16(units), std::move(units), values[i]});
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return std::tie(a.key, a.units) < std::tie(b.key, b.units);
  });

  PlatformValue result;
  result.kind = PlatformValue::Kind::dictionary;
  result.dictionary.reserve(entries.size());
  for (auto& entry : entries) result.dictionary.emplace_back(std::move(entry.key), platformValue(entry.value));
  return result;
}

}  // namespace

std::string utf8String(CFStringRef string) {
  if (string == nullptr) return {};
  return text::utf8FromUTF16(utf16Units(string));
}

CFRef<CFStringRef> makeCFString(std::string_view text) {
  // Built from UTF-16 units rather than from the UTF-8 bytes, because
  // CFStringCreateWithBytes drops a leading byte-order mark.
  const auto units = text::utf16FromUTF8(text);
  if (!units) return {};
  std::vector<UniChar> characters(units->begin(), units->end());
  return CFRef<CFStringRef>::adopt(
      CFStringCreateWithCharacters(kCFAllocatorDefault, characters.data(), static_cast<CFIndex>(characters.size())));
}

PlatformValue platformValue(CFTypeRef value) {
  if (value == nullptr) return PlatformValue::makeOther("null");
  const CFTypeID type = CFGetTypeID(value);
  if (type == CFStringGetTypeID()) return PlatformValue::makeText(utf8String(static_cast<CFStringRef>(value)));
  // A Boolean is tested before numbers: it must never read as 0 or 1.
  if (type == CFBooleanGetTypeID()) {
    return PlatformValue::makeBoolean(CFBooleanGetValue(static_cast<CFBooleanRef>(value)));
  }
  if (type == CFNumberGetTypeID()) return numberValue(static_cast<CFNumberRef>(value));
  if (type == AXValueGetTypeID()) return axValue(static_cast<AXValueRef>(value));
  if (type == AXUIElementGetTypeID()) return PlatformValue::makeElement(handleFor(CFRef<CFTypeRef>::retain(value)));
  if (type == CFArrayGetTypeID()) return listValue(static_cast<CFArrayRef>(value));
  if (type == CFDictionaryGetTypeID()) return dictionaryValue(static_cast<CFDictionaryRef>(value));
  return PlatformValue::makeOther(typeDescription(value));
}

}  // namespace pellucor::platform::macos
