#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "wire/enumerations.hpp"
#include "wire/json_value.hpp"
#include "wire/records.hpp"

namespace pellucor::client {

// Whether `result` has the shape of `operation`'s result, exactly:
// - observe_ax: {"preflight_trusted": bool, "tree": ELEMENT}, an element
//   holding only its attribute members (a string, integer, bool, {"x","y"}
//   or {"width","height"} of integers), a non-empty "actions" list of
//   strings and a non-empty "children" list of elements, at most 12 levels
//   below the window and 500 elements in all;
// - enumerate_target_windows: one window object, its "window_id" the
//   target's;
// - capture_target_window: {"height","png_base64","png_sha256","width",
//   "window_id"}, the sizes positive, the digest 64 lower-case hexadecimal
//   digits, "window_id" the target's (the image itself is checked apart);
// - key, hotkey: {"posted": true}.
// `whyNot` says what is wrong when it has not.
bool hasResultShape(PellucorOperation operation, const JSONValue& result, const TargetObservation& target,
                    std::string& whyNot);

// The bytes of standard Base64 ("+", "/", "=" padding, no line breaks) in its
// one canonical spelling (the padding's spare bits zero); nothing for any
// other text.
std::optional<std::string> decodeCanonicalBase64(std::string_view text);

struct PNGSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// The size in a PNG's header: the eight-byte signature, then an IHDR chunk of
// 13 bytes as the first chunk, its width and height not zero. Nothing when
// the bytes do not start that way. The rest of the image is not read.
std::optional<PNGSize> pngHeaderSize(std::string_view png);

}  // namespace pellucor::client
