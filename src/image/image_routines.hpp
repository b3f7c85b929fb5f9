#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/screen_capture.hpp"
#include "wire/pellucor_error.hpp"

// The routines a window capture runs on the pixels the platform hands over:
// the black-frame test, the PNG encoder and the digest of the PNG bytes. Each
// works on the whole image in memory and keeps no state between calls.
namespace pellucor {

// The largest PNG a capture may return, in bytes; exactly this size is
// accepted. The capture checks the size; the encoder does not.
inline constexpr std::size_t kPNGCeiling = 12582912;

// True when the capture must be refused as empty or black: the image has no
// pixels, its buffer cannot hold the rows it claims (a platform fault, refused
// rather than read out of bounds), or none of its sampled pixels is visible
// (alpha not 0) with a colour component above 2.
//
// The image is scaled point-wise into at most 64 by 64 samples: each sample
// takes the pixel nearest to the centre of its cell, so the cost never grows
// with the window size. Components are tested as the platform hands them
// over, premultiplied by alpha, so a faint colour on a translucent pixel
// counts as dark. A bright detail smaller than a sampling cell can fall
// between the samples; a mostly black window with a tiny bright area may be
// refused. Never throws.
bool isEmptyOrBlack(const platform::CapturedImage& image) noexcept;

// The image as PNG bytes: 8 bits per component, colour straightened from the
// premultiplied pixels (each component round(premultiplied * 255 / alpha),
// halves rounded up, at most 255; colour 0 where alpha is 0) with alpha kept.
// An image whose every pixel is opaque is written without the alpha channel,
// which decodes to exactly the same pixels.
//
// The rows are compressed in stripes fixed by the image's size, one thread per
// core (at most 16), started for this call and joined before it returns; the
// same pixels always give the same bytes.
//
// Throws PellucorError "png_failed": "PNG encoder unavailable" when no
// compressor can be created, "PNG encoding failed" when the image has no
// pixels, its buffer cannot hold the rows it claims, a size overflows, memory
// runs out or compression fails.
std::string encodePNG(const platform::CapturedImage& image);

// SHA-256 of `bytes` as 64 lowercase hexadecimal digits, digest bytes in
// order, most significant digit first. Throws platform::PlatformError in the
// unexpected case that the digest service fails.
std::string sha256Hex(std::string_view bytes);

namespace png_errors {
inline constexpr ErrorDefinition kUnavailable{"png_failed", "PNG encoder unavailable"};
inline constexpr ErrorDefinition kFailed{"png_failed", "PNG encoding failed"};
}  // namespace png_errors

}  // namespace pellucor
