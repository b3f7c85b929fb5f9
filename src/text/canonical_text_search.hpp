#pragma once

#include <optional>
#include <string>
#include <string_view>

// Prefix, suffix and occurrence tests under the system's text equality
// (Unicode canonical equivalence, no case folding). A match counts only when
// it covers whole user-perceived characters: "/" followed by a combining
// accent is a different character from "/", so "/Contents/\u0301x" does not
// start with "/Contents/" here, just as the platform's string comparison
// says. Every argument must be well-formed UTF-8; the functions never fail
// otherwise.
namespace pellucor::canonical_text {

// Whether `text` starts with a text equal to `prefix`. The empty prefix
// starts every text.
bool startsWith(std::string_view text, std::string_view prefix);

// The part of `text` before a trailing text equal to `suffix`, or nothing
// when `text` does not end with one. The part is returned in canonical form
// (see text::canonicalKey), which is equal to the original part.
std::optional<std::string> canonicalFormWithoutSuffix(std::string_view text, std::string_view suffix);

// The part of `text` before the first occurrence of a text equal to
// `needle`, in canonical form, or nothing when there is none.
std::optional<std::string> canonicalFormBeforeFirst(std::string_view text, std::string_view needle);

}  // namespace pellucor::canonical_text
