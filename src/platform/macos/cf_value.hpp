#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/macos/cf_ref.hpp"
#include "platform/platform_value.hpp"

namespace pellucor::platform::macos {

// `string` as UTF-8, every scalar as it stands; an unpaired surrogate becomes
// U+FFFD, as the platform's own string bridging does. Never truncates.
std::string utf8String(CFStringRef string);

// A Core Foundation string holding `text`; null when `text` is not UTF-8.
CFRef<CFStringRef> makeCFString(std::string_view text);

// The one conversion of a Core Foundation value into a PlatformValue, shared
// by accessibility values, info-dictionary values, signing information and
// the legacy window list:
// - CFString: text (see utf8String);
// - CFBoolean, by its own type identifier: boolean (never a number);
// - CFNumber: floating when CFNumberIsFloatType says so, else integer (an
//   integer beyond 64 bits, which the platform cannot hold, is `other`);
// - AXValue: its type and payload through AXValueGetType/AXValueGetValue,
//   `extractable` false when the payload cannot be read;
// - AXUIElement: an element handle (retained);
// - CFArray: a list of converted values, in order;
// - CFDictionary: a dictionary of its entries with text keys (entries with
//   other keys left out), sorted by key so that the answer does not depend
//   on the dictionary's internal order;
// - anything else, null included: `other`, with the type's description.
PlatformValue platformValue(CFTypeRef value);

}  // namespace pellucor::platform::macos
