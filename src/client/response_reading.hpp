#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "wire/json_value.hpp"
#include "wire/records.hpp"

namespace pellucor::client {

// Reads untrusted JSON text from the helper: the strict scanner the helper
// applies to its own input (well-formed UTF-8, one value, no key twice,
// integers only), with room for what a response holds: 32 levels (the
// deepest response, an action name of an element 12 levels below the
// window, is at level 29) and strings as long as a whole response line.
// Nothing when the text is refused or an integer does not fit in 64 bits;
// `whyNot` then says why.
std::optional<JSONValue> readStrictJSON(std::string_view text, std::string& whyNot);

// The response record from a JSON value: exactly the response's members
// with their kinds, "duration_ms" not negative, the error record's and the
// target's members exactly, "pid" a positive 32-bit integer and "window_id"
// an unsigned 32-bit one; "target" and "result" present on success, "error"
// present and "result" absent on failure, and "target" on failure only with
// "response_too_large". Nothing otherwise; `whyNot` then says what is wrong.
std::optional<Response> decodeResponse(const JSONValue& value, std::string& whyNot);

}  // namespace pellucor::client
