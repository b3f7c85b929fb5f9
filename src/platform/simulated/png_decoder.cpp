#include "platform/simulated/png_decoder.hpp"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

namespace pellucor::simulated {
namespace {

// What libpng's callbacks share with the reader: the stream, and the reason of
// a failure. Plain data only, since libpng leaves an error by longjmp.
struct ReadState {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t offset = 0;
  char reason[200] = {};
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* state = static_cast<ReadState*>(png_get_io_ptr(png));
  if (length > state->size - state->offset) png_error(png, "the stream ends before the image does");
  std::memcpy(out, state->data + state->offset, length);
  state->offset += length;
}

[[noreturn]] void recordError(png_structp png, png_const_charp message) {
  auto* state = static_cast<ReadState*>(png_get_error_ptr(png));
  std::snprintf(state->reason, sizeof state->reason, "%s", message);
  png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

enum class Outcome { decoded, failed, tooLarge };

// Reads the whole image into `image` as 8-bit straight RGBA. Kept apart from
// anything with a destructor, because libpng reports errors by longjmp back
// into this frame.
Outcome readImage(png_structp png, png_infop info, StraightImage& image, std::vector<png_bytep>& rows,
                  std::int64_t maximumSide, std::int64_t maximumPixels) {
  if (setjmp(png_jmpbuf(png)) != 0) return Outcome::failed;
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  image.width = static_cast<std::int64_t>(width);
  image.height = static_cast<std::int64_t>(height);
  // The size is judged before anything is inflated.
  if (image.width > maximumSide || image.height > maximumSide || image.width * image.height > maximumPixels) {
    return Outcome::tooLarge;
  }

  // Every colour type and depth becomes 8-bit RGBA: palettes and low depths
  // expanded, transparency chunks turned into alpha, 16-bit samples rounded,
  // grey widened, and opaque alpha added where the image has none. No gamma
  // or colour-space conversion is applied: the samples are taken as written.
  png_set_expand(png);
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 4) png_error(png, "unexpected row layout");

  image.rgba.resize(static_cast<std::size_t>(width) * height * 4);
  rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = image.rgba.data() + static_cast<std::size_t>(y) * width * 4;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  return Outcome::decoded;
}

}  // namespace

StraightImage decodePng(std::span<const std::uint8_t> bytes, std::int64_t maximumSide,
                        std::int64_t maximumPixels) {
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) throw PngDecodeError("the PNG signature is missing");

  ReadState state;
  state.data = bytes.data();
  state.size = bytes.size();
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, recordError, ignoreWarning);
  if (png == nullptr) throw PngDecodeError("the PNG reader could not be created");
  png_infop info = png_create_info_struct(png);
  // The reader and its information record are released together, on every path.
  struct Reader {
    png_structp* png;
    png_infop* info;
    ~Reader() { png_destroy_read_struct(png, info, nullptr); }
  } const reader{&png, &info};
  if (info == nullptr) throw PngDecodeError("the PNG reader could not be created");
  png_set_read_fn(png, &state, readFromMemory);

  StraightImage image;
  std::vector<png_bytep> rows;
  switch (readImage(png, info, image, rows, maximumSide, maximumPixels)) {
    case Outcome::decoded:
      return image;
    case Outcome::tooLarge:
      throw PngDecodeError("image of " + std::to_string(image.width) + " x " + std::to_string(image.height) +
                           " pixels is too large");
    case Outcome::failed:
      break;
  }
  throw PngDecodeError(state.reason[0] != '\0' ? state.reason : "the PNG stream is malformed");
}

}  // namespace pellucor::simulated
