#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pellucor {

// The one gate every text read from another process passes before it enters a
// result: invisible and direction-changing characters become visible escapes,
// and the escaped form is bounded.
struct AXStringSanitizer {
  AXStringSanitizer() = delete;

  // Replaces every scalar of general category Cc or Cf, and every explicit
  // bidirectional control, by "\u{XXXX}" (upper-case hexadecimal, at least
  // four digits); every other scalar is copied. A backslash is copied too, so
  // an input that already holds the text of an escape reads the same as an
  // escaped character.
  //
  // Fails with "ax_string_too_large" as soon as the escaped form would exceed
  // 4096 UTF-8 bytes (the input itself is not limited), and with
  // "ax_encoding_failed" at the first byte sequence that is not well-formed
  // UTF-8, because such bytes cannot be written as JSON text. Whichever comes
  // first in the text decides.
  static std::string escape(std::string_view text);

  // The escaped text with its size as a JSON string in the measuring form of
  // the output budget (quotation marks included, quotation mark, reverse
  // solidus and "/" counted twice), found in the same pass. Fails as escape.
  struct Measured {
    std::string text;
    std::size_t measuredSize = 0;
  };
  static Measured escapeMeasured(std::string_view text);
};

}  // namespace pellucor
