#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellucor::text {

// Text equality of the whole system: Unicode canonical equivalence, with no case
// folding and no trimming. Both arguments must be well-formed UTF-8 (every text
// the system holds is). "e\u0301" equals "\u00e9"; "K" equals the Kelvin sign
// U+212A, whose canonical decomposition is "K".
bool textEquals(std::string_view a, std::string_view b);

// A key that is equal for two texts exactly when they are canonically
// equivalent: the canonical decomposition, as UTF-8. ASCII text is its own key.
std::string canonicalKey(std::string_view text);

// A 64-bit hash of the scalars of canonicalKey(text) (FNV-1a, one step per
// scalar), computed without building the key or allocating for it in the
// common case: canonically equivalent texts hash alike, so a hash table of
// texts needs the full comparison only when two hashes meet. `text` must be
// well-formed UTF-8; a byte that does not decode is hashed as a value beyond
// every scalar.
std::uint64_t canonicalHash(std::string_view text);

}  // namespace pellucor::text
