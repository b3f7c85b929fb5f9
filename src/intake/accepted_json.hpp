#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pellucor::accepted_json {

// Reading JSON text that StrictJSONScanner has accepted, in one forward pass
// and without building a tree. Nothing here checks syntax again. On text the
// scanner has not accepted the results are unspecified, but nothing ever reads
// outside the text.

enum class Kind : std::uint8_t { string, integer, boolean, null, object, array };

// A value as written: its kind and its bytes, without surrounding whitespace.
struct Value {
  Kind kind = Kind::null;
  std::string_view raw;
  bool escaped = false;  // a string holding an escape, as the reader found it
};

// A cursor over one document (or over one value's bytes). At each point it
// stands before one value, which the caller either steps over with value()
// or enters with enter() and reads member by member or element by element.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}
  explicit Reader(const Value& value) : text_(value.raw) {}

  // The kind of the value at the reading position.
  Kind kind();
  // Steps over the value at the reading position and gives it.
  Value value();
  // Steps into the object or array at the reading position.
  void enter();
  // Inside an object: moves to the next member's value and gives its decoded
  // key (a view of the text when the key has no escape, else of `scratch`).
  // At the end steps out of the object and returns false.
  bool member(std::string_view& key, std::string& scratch);
  // Inside an array: moves to the next element. At the end steps out of the
  // array and returns false.
  bool element();

 private:
  void skipWhitespace() noexcept;
  // Steps over the separator before the next member or element, or out of
  // the container at its `closing` bracket (then false).
  bool nextItem(char closing);
  std::string_view text_;
  std::size_t position_ = 0;
};

// The decoded text of a string value read by a Reader: a view of its bytes
// when it has no escape, else of `scratch`, which receives the decoded text.
std::string_view text(const Value& string, std::string& scratch);

// Appends the decoded text of a string's content (the bytes between its
// quotation marks, as accepted by the scanner) to `out`.
void appendDecoded(std::string_view content, std::string& out);

}  // namespace pellucor::accepted_json
