#include "image/png_encoder.hpp"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "image/pixel_layout.hpp"
#include "image/striped_deflate.hpp"

namespace pellucor {
namespace {

constexpr std::string_view kSignature{"\x89PNG\r\n\x1a\n", 8};
// PNG stores sizes and chunk lengths as 31-bit unsigned numbers.
constexpr std::size_t kLargestPNGNumber = 0x7fffffff;
constexpr std::uint8_t kBitDepth = 8;
constexpr std::uint8_t kColourTypeRGB = 2;
constexpr std::uint8_t kColourTypeRGBA = 6;

// Row filter type bytes.
constexpr std::uint8_t kFilterNone = 0;
constexpr std::uint8_t kFilterSub = 1;
constexpr std::uint8_t kFilterUp = 2;
constexpr std::uint8_t kFilterAverage = 3;
constexpr std::uint8_t kFilterPaeth = 4;

// kStraight[alpha][premultiplied] is the straight component
// round(premultiplied * 255 / alpha) with halves rounded up, at most 255 (a
// premultiplied component above its alpha is malformed; it saturates rather
// than wraps). A table keeps the division out of the per-pixel loop, which
// matters for windows that are translucent throughout.
using StraightTable = std::array<std::array<std::uint8_t, 256>, 256>;
constexpr StraightTable makeStraightTable() {
  StraightTable table{};
  for (unsigned alpha = 1; alpha < 256; ++alpha) {
    for (unsigned component = 0; component < 256; ++component) {
      const unsigned straight = (component * 255 + alpha / 2) / alpha;
      table[alpha][component] = static_cast<std::uint8_t>(straight > 255 ? 255 : straight);
    }
  }
  return table;
}
constexpr StraightTable kStraight = makeStraightTable();

// A buffer left uninitialised: every byte is written before it is read, and
// zeroing hundreds of megabytes first would cost time for nothing. (A plain
// new[] rather than make_unique_for_overwrite, which older standard
// libraries lack.)
std::unique_ptr<std::uint8_t[]> uninitialisedBytes(std::size_t size) {
  return std::unique_ptr<std::uint8_t[]>(new std::uint8_t[size]);
}

struct CompressorDeleter {
  void operator()(libdeflate_compressor* compressor) const noexcept { libdeflate_free_compressor(compressor); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorDeleter>;

bool isOpaque(const platform::CapturedImage& image, const PixelLayout& layout) noexcept {
  for (std::size_t y = 0; y < layout.height; ++y) {
    const std::uint8_t* row = image.pixels.data() + y * layout.bytesPerRow;
    std::uint8_t all = 0xff;
    for (std::size_t x = 0; x < layout.width; ++x) all &= row[4 * x + 3];
    if (all != 0xff) return false;
  }
  return true;
}

// One row of premultiplied BGRA as straight RGB; every alpha is 255, where
// straight and premultiplied colour agree.
void straightenOpaqueRow(const std::uint8_t* bgra, std::size_t width, std::uint8_t* rgb) noexcept {
  for (std::size_t x = 0; x < width; ++x) {
    rgb[3 * x] = bgra[4 * x + 2];
    rgb[3 * x + 1] = bgra[4 * x + 1];
    rgb[3 * x + 2] = bgra[4 * x];
  }
}

// One row of premultiplied BGRA as straight RGBA.
void straightenRow(const std::uint8_t* bgra, std::size_t width, std::uint8_t* rgba) noexcept {
  for (std::size_t x = 0; x < width; ++x) {
    const std::uint8_t alpha = bgra[4 * x + 3];
    // Most pixels of a translucent window are opaque; they need no table.
    if (alpha == 0xff) {
      rgba[4 * x] = bgra[4 * x + 2];
      rgba[4 * x + 1] = bgra[4 * x + 1];
      rgba[4 * x + 2] = bgra[4 * x];
      rgba[4 * x + 3] = alpha;
      continue;
    }
    const auto& straight = kStraight[alpha];
    rgba[4 * x] = straight[bgra[4 * x + 2]];
    rgba[4 * x + 1] = straight[bgra[4 * x + 1]];
    rgba[4 * x + 2] = straight[bgra[4 * x]];
    rgba[4 * x + 3] = alpha;
  }
}

// The filters below write `size` filtered bytes of row `current` (with `above`
// the previous row, all zero for the first) to `out`; `step` is the number of
// bytes per pixel. They read raw bytes only, so each loop is free of carried
// dependencies and the compiler can vectorise it.

void filterNone(const std::uint8_t* current, std::size_t size, std::uint8_t* out) noexcept {
  for (std::size_t i = 0; i < size; ++i) out[i] = current[i];
}

void filterSub(const std::uint8_t* current, std::size_t size, std::size_t step, std::uint8_t* out) noexcept {
  for (std::size_t i = 0; i < step && i < size; ++i) out[i] = current[i];
  for (std::size_t i = step; i < size; ++i) out[i] = static_cast<std::uint8_t>(current[i] - current[i - step]);
}

void filterUp(const std::uint8_t* current, const std::uint8_t* above, std::size_t size, std::uint8_t* out) noexcept {
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(current[i] - above[i]);
}

void filterAverage(const std::uint8_t* current, const std::uint8_t* above, std::size_t size, std::size_t step,
                   std::uint8_t* out) noexcept {
  for (std::size_t i = 0; i < step && i < size; ++i) out[i] = static_cast<std::uint8_t>(current[i] - above[i] / 2);
  for (std::size_t i = step; i < size; ++i) {
    out[i] = static_cast<std::uint8_t>(current[i] - (current[i - step] + above[i]) / 2);
  }
}

void filterPaeth(const std::uint8_t* current, const std::uint8_t* above, std::size_t size, std::size_t step,
                 std::uint8_t* out) noexcept {
  // Without a left neighbour the predictor is always the byte above.
  for (std::size_t i = 0; i < step && i < size; ++i) out[i] = static_cast<std::uint8_t>(current[i] - above[i]);
  for (std::size_t i = step; i < size; ++i) {
    const int left = current[i - step];
    const int up = above[i];
    const int upperLeft = above[i - step];
    const int towardLeft = std::abs(up - upperLeft);
    const int towardUp = std::abs(left - upperLeft);
    const int towardUpperLeft = std::abs(left + up - 2 * upperLeft);
    const int predictor = (towardLeft <= towardUp && towardLeft <= towardUpperLeft) ? left
                          : towardUp <= towardUpperLeft                             ? up
                                                                                    : upperLeft;
    out[i] = static_cast<std::uint8_t>(current[i] - predictor);
  }
}

// The usual heuristic for choosing a filter: the smallest sum of the filtered
// bytes read as signed magnitudes, which favours rows of small differences.
std::uint64_t absoluteSum(const std::uint8_t* bytes, std::size_t size) noexcept {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < size; ++i) sum += bytes[i] < 128 ? bytes[i] : 256u - bytes[i];
  return sum;
}

// Filters whole rows into `filtered`, each row led by its filter type byte.
class RowFilterer {
 public:
  RowFilterer(PNGRowFilter filter, std::size_t rowSize, std::size_t step)
      : filter_(filter), rowSize_(rowSize), step_(step) {
    if (filter_ == PNGRowFilter::adaptive) trial_.resize(rowSize_);
  }

  void filter(const std::uint8_t* current, const std::uint8_t* above, std::uint8_t* out) {
    switch (filter_) {
      case PNGRowFilter::none:
        out[0] = kFilterNone;
        filterNone(current, rowSize_, out + 1);
        return;
      case PNGRowFilter::sub:
        out[0] = kFilterSub;
        filterSub(current, rowSize_, step_, out + 1);
        return;
      case PNGRowFilter::up:
        out[0] = kFilterUp;
        filterUp(current, above, rowSize_, out + 1);
        return;
      case PNGRowFilter::average:
        out[0] = kFilterAverage;
        filterAverage(current, above, rowSize_, step_, out + 1);
        return;
      case PNGRowFilter::paeth:
        out[0] = kFilterPaeth;
        filterPaeth(current, above, rowSize_, step_, out + 1);
        return;
      case PNGRowFilter::adaptive:
        filterAdaptive(current, above, out);
        return;
    }
  }

 private:
  // Tries every filter into a scratch row and keeps the best in `out`.
  void filterAdaptive(const std::uint8_t* current, const std::uint8_t* above, std::uint8_t* out) {
    std::uint8_t* trial = trial_.data();
    out[0] = kFilterNone;
    filterNone(current, rowSize_, out + 1);
    std::uint64_t best = absoluteSum(out + 1, rowSize_);
    const auto consider = [&](std::uint8_t type) {
      const std::uint64_t sum = absoluteSum(trial, rowSize_);
      if (sum < best) {
        best = sum;
        out[0] = type;
        std::copy(trial, trial + rowSize_, out + 1);
      }
    };
    filterSub(current, rowSize_, step_, trial);
    consider(kFilterSub);
    filterUp(current, above, rowSize_, trial);
    consider(kFilterUp);
    filterAverage(current, above, rowSize_, step_, trial);
    consider(kFilterAverage);
    filterPaeth(current, above, rowSize_, step_, trial);
    consider(kFilterPaeth);
  }

  PNGRowFilter filter_;
  std::size_t rowSize_;
  std::size_t step_;
  std::vector<std::uint8_t> trial_;
};

void appendBigEndian32(std::string& out, std::uint32_t value) {
  out.push_back(static_cast<char>(value >> 24));
  out.push_back(static_cast<char>((value >> 16) & 0xff));
  out.push_back(static_cast<char>((value >> 8) & 0xff));
  out.push_back(static_cast<char>(value & 0xff));
}

// Appends one chunk: length, type, data, and the CRC-32 of type and data.
void appendChunk(std::string& png, std::string_view type, const std::uint8_t* data, std::size_t size) {
  appendBigEndian32(png, static_cast<std::uint32_t>(size));
  const std::size_t typeStart = png.size();
  png.append(type);
  if (size > 0) png.append(reinterpret_cast<const char*>(data), size);
  appendBigEndian32(png, libdeflate_crc32(0, png.data() + typeStart, type.size() + size));
}

// The image's rows as straight colour, RGB when every pixel is opaque and
// RGBA otherwise.
class StraightRows {
 public:
  StraightRows(const platform::CapturedImage& image, const PixelLayout& layout)
      : image_(image),
        layout_(layout),
        opaque_(isOpaque(image, layout)),
        step_(opaque_ ? 3 : 4),
        rowSize_(layout.width * step_) {}  // width < 2^31: no overflow

  bool opaque() const noexcept { return opaque_; }
  std::size_t width() const noexcept { return layout_.width; }
  std::size_t height() const noexcept { return layout_.height; }
  std::size_t step() const noexcept { return step_; }
  std::size_t rowSize() const noexcept { return rowSize_; }

  // Writes row `y` (rowSize() bytes) to `out`.
  void straighten(std::size_t y, std::uint8_t* out) const noexcept {
    const std::uint8_t* source = image_.pixels.data() + y * layout_.bytesPerRow;
    if (opaque_) {
      straightenOpaqueRow(source, layout_.width, out);
    } else {
      straightenRow(source, layout_.width, out);
    }
  }

 private:
  const platform::CapturedImage& image_;
  PixelLayout layout_;
  bool opaque_;
  std::size_t step_;
  std::size_t rowSize_;
};

Compressor makeCompressor(int level) {
  Compressor compressor{libdeflate_alloc_compressor(level)};
  if (!compressor) fail(png_errors::kUnavailable);
  return compressor;
}

// Filters the rows `rowOf(i)` of `rows`, for i in 0..count, into `out`, each
// led by its filter type byte. The row above a row is the image's own
// previous row.
template <typename RowOf>
void filterRowsInto(const StraightRows& rows, PNGRowFilter filter, std::size_t count, RowOf rowOf,
                    std::uint8_t* out) {
  const std::size_t filteredRowSize = rows.rowSize() + 1;
  std::vector<std::uint8_t> above(rows.rowSize(), 0);
  std::vector<std::uint8_t> current(rows.rowSize());
  RowFilterer filterer{filter, rows.rowSize(), rows.step()};
  std::optional<std::size_t> aboveRow;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t y = rowOf(i);
    // The first row has the all-zero row above it; a probe or a stripe that
    // starts below it straightens the true row above afresh.
    if (y == 0) {
      std::fill(above.begin(), above.end(), std::uint8_t{0});
    } else if (aboveRow != y - 1) {
      rows.straighten(y - 1, above.data());
    }
    rows.straighten(y, current.data());
    filterer.filter(current.data(), above.data(), out + i * filteredRowSize);
    current.swap(above);
    aboveRow = y;
  }
}

// filterRowsInto a buffer of its own.
template <typename RowOf>
std::unique_ptr<std::uint8_t[]> filterRows(const StraightRows& rows, PNGRowFilter filter, std::size_t count,
                                           RowOf rowOf) {
  const std::size_t filteredRowSize = rows.rowSize() + 1;
  if (count > std::numeric_limits<std::size_t>::max() / filteredRowSize) fail(png_errors::kFailed);
  auto filtered = uninitialisedBytes(filteredRowSize * count);
  filterRowsInto(rows, filter, count, rowOf, filtered.get());
  return filtered;
}

struct Compressed {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t size = 0;
};

// Compresses `size` bytes into a zlib stream; fails when compression fails.
Compressed compress(libdeflate_compressor* compressor, const std::uint8_t* data, std::size_t size) {
  const std::size_t bound = libdeflate_zlib_compress_bound(compressor, size);
  Compressed compressed{uninitialisedBytes(bound), 0};
  compressed.size = libdeflate_zlib_compress(compressor, data, size, compressed.bytes.get(), bound);
  if (compressed.size == 0) fail(png_errors::kFailed);
  return compressed;
}

// A probe filters and compresses kProbeBands bands of kProbeBandRows rows,
// spread evenly over the height (every row of a short image), at a fast
// level. Bands of several rows let the unfiltered rows find the repeats they
// find in the whole image.
constexpr std::size_t kProbeBands = 8;
constexpr std::size_t kProbeBandRows = 16;
constexpr int kProbeLevel = 1;
// Compressed-to-raw ratio of the probe above which content counts as
// photographic.
constexpr double kPhotographicRatio = 0.10;
constexpr int kDetailedLevel = 5;
constexpr int kPhotographicLevel = 1;

PNGEncoderSettings chooseSettings(const StraightRows& rows) {
  const std::size_t height = rows.height();
  const bool sampled = height >= kProbeBands * kProbeBandRows;
  const std::size_t count = sampled ? kProbeBands * kProbeBandRows : height;
  const auto rowOf = [&](std::size_t i) {
    return sampled ? i / kProbeBandRows * height / kProbeBands + i % kProbeBandRows : i;
  };
  const Compressor probe = makeCompressor(kProbeLevel);
  const std::size_t probeSize = count * (rows.rowSize() + 1);
  std::optional<std::pair<std::size_t, PNGRowFilter>> best;
  for (const PNGRowFilter filter : {PNGRowFilter::none, PNGRowFilter::sub}) {
    const auto filtered = filterRows(rows, filter, count, rowOf);
    const std::size_t size = compress(probe.get(), filtered.get(), probeSize).size;
    if (!best || size < best->first) best.emplace(size, filter);
  }
  const bool photographic = static_cast<double>(best->first) > kPhotographicRatio * static_cast<double>(probeSize);
  return {photographic ? kPhotographicLevel : kDetailedLevel, best->second};
}

void appendHeader(std::string& png, const StraightRows& rows) {
  std::array<std::uint8_t, 13> header{};
  const auto width = static_cast<std::uint32_t>(rows.width());
  const auto height = static_cast<std::uint32_t>(rows.height());
  for (std::size_t i = 0; i < 4; ++i) {
    header[i] = static_cast<std::uint8_t>(width >> (24 - 8 * i));
    header[4 + i] = static_cast<std::uint8_t>(height >> (24 - 8 * i));
  }
  header[8] = kBitDepth;
  header[9] = rows.opaque() ? kColourTypeRGB : kColourTypeRGBA;
  // header[10..12]: deflate compression, adaptive filtering, no interlace.
  appendChunk(png, "IHDR", header.data(), header.size());
}

// The filtered rows are compressed in stripes of whole rows, of about
// kStripeBytes each: a stripe's size depends only on the image's width, so the
// stripes, and with them the bytes of the PNG, never depend on the number of
// threads. Smaller stripes spread more evenly over the threads; each stripe
// starts its matches afresh, which costs a little size (see
// bench/image_pipeline_bench.cpp).
constexpr std::size_t kStripeBytes = std::size_t{1} << 20;

std::string encode(const StraightRows& rows, const PNGEncoderSettings& settings, unsigned threads) {
  const std::size_t filteredRowSize = rows.rowSize() + 1;
  const std::size_t stripeRows = std::max<std::size_t>(1, kStripeBytes / filteredRowSize);
  const std::size_t stripes = (rows.height() + stripeRows - 1) / stripeRows;
  const std::size_t lastRows = rows.height() - (stripes - 1) * stripeRows;
  const StripeSource source{stripes, stripeRows * filteredRowSize, lastRows * filteredRowSize,
                            [&](std::size_t stripe, std::uint8_t* out) {
                              const std::size_t first = stripe * stripeRows;
                              const std::size_t count = stripe + 1 == stripes ? lastRows : stripeRows;
                              filterRowsInto(
                                  rows, settings.rowFilter, count, [first](std::size_t i) { return first + i; }, out);
                            }};
  const StripedStream compressed = compressInStripes(source, settings.compressionLevel, threads);
  // One IDAT chunk carries the whole stream; a stream too long for one chunk
  // would need an image far beyond any capturable window.
  if (compressed.size > kLargestPNGNumber) fail(png_errors::kFailed);

  std::string png;
  png.reserve(kSignature.size() + 3 * 12 + 13 + compressed.size);
  png.append(kSignature);
  appendHeader(png, rows);
  appendChunk(png, "IDAT", compressed.bytes.get(), compressed.size);
  appendChunk(png, "IEND", nullptr, 0);
  return png;
}

// One thread per core, at most kMostEncoderThreads.
constexpr unsigned kMostEncoderThreads = 16;
unsigned defaultThreads() noexcept {
  return std::clamp(std::thread::hardware_concurrency(), 1u, kMostEncoderThreads);
}

// Runs `work` on the straightened rows of a well-formed image, turning every
// way the image or memory can fail into "PNG encoding failed".
template <typename Work>
auto withRows(const platform::CapturedImage& image, Work work) {
  const auto layout = pixelLayout(image);
  if (!layout || layout->width > kLargestPNGNumber || layout->height > kLargestPNGNumber) {
    fail(png_errors::kFailed);
  }
  try {
    return work(StraightRows{image, *layout});
  } catch (const std::bad_alloc&) {
    fail(png_errors::kFailed);
  }
}

}  // namespace

std::string encodePNG(const platform::CapturedImage& image, const PNGEncoderSettings& settings, unsigned threads) {
  return withRows(image, [&](const StraightRows& rows) { return encode(rows, settings, threads); });
}

std::string encodePNG(const platform::CapturedImage& image, const PNGEncoderSettings& settings) {
  return encodePNG(image, settings, defaultThreads());
}

PNGEncoderSettings choosePNGEncoderSettings(const platform::CapturedImage& image) {
  return withRows(image, [](const StraightRows& rows) { return chooseSettings(rows); });
}

std::string encodePNG(const platform::CapturedImage& image) {
  return withRows(image, [](const StraightRows& rows) { return encode(rows, chooseSettings(rows), defaultThreads()); });
}

}  // namespace pellucor
