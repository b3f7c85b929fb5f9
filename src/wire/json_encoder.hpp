#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

#include "wire/json_value.hpp"
#include "wire/records.hpp"

namespace pellucor::json {

// Thrown by every operation below when a text of the value is not
// well-formed UTF-8: JSON text cannot carry such bytes, and passing them
// through would put something on the wire that no JSON reader accepts. It is
// not a PellucorError: it is a broken invariant of whoever built the value,
// and the callers (the executor's size check, the entry's emission) fail
// closed on it as on any other encoding failure.
class EncodingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The response form: compact, object members in ascending byte order of their
// keys at every depth, "/" written as itself, quotation mark, reverse solidus
// and control characters escaped, every other character passed through as its
// UTF-8 bytes. Optional record members are left out, never written as null.
std::string encode(const JSONValue& value);
std::string encode(const Response& response);
std::string encode(const TargetObservation& observation);
std::string encode(const PellucorError& error);
void appendEncoded(std::string& out, const JSONValue& value);

// The measuring form: the byte count of the same compact encoding with every
// "/" inside a string counted as the two characters "\/". Nothing is built; the
// figure is never smaller than the response form's length. Fails exactly when
// encoding would.
std::size_t measuredSize(const JSONValue& value);
std::size_t measuredSize(const Response& response);
// A string in the measuring form, its quotation marks included.
std::size_t measuredStringSize(std::string_view text);

}  // namespace pellucor::json
