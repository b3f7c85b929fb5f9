#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pellucor::text {

// `units` (UTF-16 code units) as UTF-8. A surrogate that is not half of a
// high-low pair becomes U+FFFD, one replacement per unit, the way the
// platform's own string bridging treats it; every other scalar is kept as it
// stands. Never fails and never truncates.
std::string utf8FromUTF16(std::u16string_view units);

// `bytes` as UTF-16 code units, every scalar as it stands (a leading U+FEFF
// included); nothing when `bytes` is not well-formed UTF-8.
std::optional<std::u16string> utf16FromUTF8(std::string_view bytes);

}  // namespace pellucor::text
