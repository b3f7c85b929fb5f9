#pragma once

#include <string>
#include <string_view>

namespace pellucor {

// Decodes bytes that should be UTF-8 (a path the kernel reports, for one) into
// well-formed UTF-8 text. Every maximal ill-formed subpart (the longest start
// of a valid sequence that then breaks off, or a single byte that cannot
// start one) becomes one U+FFFD, the practice Unicode recommends and the
// platform's string decoding follows. Well-formed input comes back unchanged.
// Never fails.
std::string repairUtf8(std::string_view bytes);

}  // namespace pellucor
