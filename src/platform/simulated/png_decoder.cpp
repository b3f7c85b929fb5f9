#include "platform/simulated/png_decoder.hpp"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace pellucor::simulated {

namespace {

constexpr std::array<std::uint8_t, 8> kSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

enum ColorType : std::uint8_t {
  kGray = 0,
  kTruecolor = 2,
  kIndexed = 3,
  kGrayAlpha = 4,
  kTruecolorAlpha = 6,
};

struct Header {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint8_t bitDepth = 0;
  std::uint8_t colorType = 0;
  bool interlaced = false;
};

// One reduced image of the interlacing scheme (the whole image when the
// stream is not interlaced): where its first pixel sits and how far apart
// its pixels are.
struct Pass {
  std::uint32_t x0;
  std::uint32_t y0;
  std::uint32_t dx;
  std::uint32_t dy;
};
constexpr std::array<Pass, 7> kAdam7{{{0, 0, 8, 8},
                                      {4, 0, 8, 8},
                                      {0, 4, 4, 8},
                                      {2, 0, 4, 4},
                                      {0, 2, 2, 4},
                                      {1, 0, 2, 2},
                                      {0, 1, 1, 2}}};
constexpr Pass kWholeImage{0, 0, 1, 1};

[[noreturn]] void refuse(const std::string& reason) { throw PngDecodeError(reason); }

std::uint32_t readBigEndian32(const std::uint8_t* bytes) {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
         std::uint32_t{bytes[3]};
}

unsigned channelsOf(std::uint8_t colorType) {
  switch (colorType) {
    case kGray:
    case kIndexed:
      return 1;
    case kGrayAlpha:
      return 2;
    case kTruecolor:
      return 3;
    case kTruecolorAlpha:
      return 4;
    default:
      return 0;
  }
}

bool isAllowedDepth(std::uint8_t colorType, std::uint8_t depth) {
  switch (colorType) {
    case kGray:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case kIndexed:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case kTruecolor:
    case kGrayAlpha:
    case kTruecolorAlpha:
      return depth == 8 || depth == 16;
    default:
      return false;
  }
}

Header readHeader(std::span<const std::uint8_t> data, std::int64_t maximumSide, std::int64_t maximumPixels) {
  if (data.size() != 13) refuse("IHDR chunk has the wrong length");
  Header header;
  header.width = readBigEndian32(data.data());
  header.height = readBigEndian32(data.data() + 4);
  header.bitDepth = data[8];
  header.colorType = data[9];
  if (header.width == 0 || header.height == 0) refuse("image has no pixels");
  if (header.width > maximumSide || header.height > maximumSide ||
      std::int64_t{header.width} * std::int64_t{header.height} > maximumPixels) {
    refuse("image of " + std::to_string(header.width) + " x " + std::to_string(header.height) +
           " pixels is too large");
  }
  if (channelsOf(header.colorType) == 0) refuse("unknown colour type " + std::to_string(header.colorType));
  if (!isAllowedDepth(header.colorType, header.bitDepth)) {
    refuse("bit depth " + std::to_string(header.bitDepth) + " is not allowed for colour type " +
           std::to_string(header.colorType));
  }
  if (data[10] != 0) refuse("unknown compression method");
  if (data[11] != 0) refuse("unknown filter method");
  if (data[12] > 1) refuse("unknown interlace method");
  header.interlaced = data[12] == 1;
  return header;
}

std::uint32_t passWidth(const Header& header, const Pass& pass) {
  return header.width > pass.x0 ? (header.width - pass.x0 + pass.dx - 1) / pass.dx : 0;
}
std::uint32_t passHeight(const Header& header, const Pass& pass) {
  return header.height > pass.y0 ? (header.height - pass.y0 + pass.dy - 1) / pass.dy : 0;
}
std::size_t rowBytes(const Header& header, std::uint32_t width) {
  const std::size_t bits = std::size_t{width} * channelsOf(header.colorType) * header.bitDepth;
  return (bits + 7) / 8;
}
std::span<const Pass> passesOf(const Header& header) {
  return header.interlaced ? std::span<const Pass>(kAdam7) : std::span<const Pass>(&kWholeImage, 1);
}

std::uint8_t paeth(std::uint8_t left, std::uint8_t above, std::uint8_t upperLeft) {
  const int estimate = int{left} + int{above} - int{upperLeft};
  const int toLeft = std::abs(estimate - int{left});
  const int toAbove = std::abs(estimate - int{above});
  const int toUpperLeft = std::abs(estimate - int{upperLeft});
  if (toLeft <= toAbove && toLeft <= toUpperLeft) return left;
  if (toAbove <= toUpperLeft) return above;
  return upperLeft;
}

// Reverses the row filters of one pass in place; `rows` points at the first
// filter byte, and the unfiltered rows are left where the filtered ones were.
void unfilter(std::uint8_t* rows, std::uint32_t height, std::size_t stride, std::size_t pixelBytes) {
  const std::uint8_t* previous = nullptr;
  for (std::uint32_t y = 0; y < height; ++y) {
    std::uint8_t* row = rows + std::size_t{y} * (stride + 1);
    const std::uint8_t filter = row[0];
    std::uint8_t* line = row + 1;
    for (std::size_t i = 0; i < stride; ++i) {
      const std::uint8_t left = i >= pixelBytes ? line[i - pixelBytes] : 0;
      const std::uint8_t above = previous != nullptr ? previous[i] : 0;
      const std::uint8_t upperLeft = previous != nullptr && i >= pixelBytes ? previous[i - pixelBytes] : 0;
      std::uint8_t predictor = 0;
      switch (filter) {
        case 0:
          break;
        case 1:
          predictor = left;
          break;
        case 2:
          predictor = above;
          break;
        case 3:
          predictor = static_cast<std::uint8_t>((unsigned{left} + unsigned{above}) / 2);
          break;
        case 4:
          predictor = paeth(left, above, upperLeft);
          break;
        default:
          refuse("unknown row filter " + std::to_string(filter));
      }
      line[i] = static_cast<std::uint8_t>(line[i] + predictor);
    }
    previous = line;
  }
}

// The `index`-th sample of an unfiltered row, at the stream's bit depth.
std::uint32_t sampleAt(const std::uint8_t* line, std::size_t index, std::uint8_t depth) {
  switch (depth) {
    case 16:
      return (std::uint32_t{line[2 * index]} << 8) | line[2 * index + 1];
    case 8:
      return line[index];
    default: {
      const std::size_t bit = index * depth;
      const unsigned shift = 8U - depth - static_cast<unsigned>(bit % 8);
      return (std::uint32_t{line[bit / 8]} >> shift) & ((1U << depth) - 1U);
    }
  }
}

std::uint8_t toEightBits(std::uint32_t sample, std::uint8_t depth) {
  if (depth == 16) return static_cast<std::uint8_t>((sample * 255U + 32767U) / 65535U);
  if (depth == 8) return static_cast<std::uint8_t>(sample);
  return static_cast<std::uint8_t>(sample * 255U / ((1U << depth) - 1U));
}

struct Palette {
  std::vector<std::array<std::uint8_t, 4>> entries;  // RGBA
};

// The colour key of a grey or truecolour image: samples equal to it are
// fully transparent.
struct ColorKey {
  std::array<std::uint32_t, 3> samples{};
};

struct Chunks {
  Header header;
  Palette palette;
  std::optional<ColorKey> colorKey;
  std::vector<std::uint8_t> compressed;
};

Chunks readChunks(std::span<const std::uint8_t> bytes, std::int64_t maximumSide, std::int64_t maximumPixels) {
  if (bytes.size() < kSignature.size() || !std::equal(kSignature.begin(), kSignature.end(), bytes.begin())) {
    refuse("the PNG signature is missing");
  }
  Chunks chunks;
  bool sawHeader = false;
  bool sawEnd = false;
  std::optional<std::span<const std::uint8_t>> transparency;
  std::size_t position = kSignature.size();
  while (!sawEnd) {
    if (bytes.size() - position < 12) refuse("the stream ends before its IEND chunk");
    const std::uint32_t length = readBigEndian32(bytes.data() + position);
    if (length > bytes.size() - position - 12) refuse("a chunk runs past the end of the stream");
    const std::span<const std::uint8_t> typeAndData = bytes.subspan(position + 4, std::size_t{length} + 4);
    const std::uint32_t storedCrc = readBigEndian32(bytes.data() + position + 8 + length);
    if (libdeflate_crc32(0, typeAndData.data(), typeAndData.size()) != storedCrc) {
      refuse("a chunk checksum does not match");
    }
    const std::string type(typeAndData.begin(), typeAndData.begin() + 4);
    const std::span<const std::uint8_t> data = typeAndData.subspan(4);
    position += std::size_t{length} + 12;

    if (!sawHeader && type != "IHDR") refuse("the first chunk is not IHDR");
    if (type == "IHDR") {
      if (sawHeader) refuse("IHDR appears twice");
      chunks.header = readHeader(data, maximumSide, maximumPixels);
      sawHeader = true;
    } else if (type == "PLTE") {
      if (data.empty() || data.size() % 3 != 0 || data.size() / 3 > 256) refuse("PLTE chunk has a wrong length");
      chunks.palette.entries.clear();
      for (std::size_t i = 0; i < data.size(); i += 3) chunks.palette.entries.push_back({data[i], data[i + 1], data[i + 2], 255});
    } else if (type == "tRNS") {
      transparency = data;
    } else if (type == "IDAT") {
      chunks.compressed.insert(chunks.compressed.end(), data.begin(), data.end());
    } else if (type == "IEND") {
      sawEnd = true;
    } else if ((typeAndData[0] & 0x20) == 0) {
      refuse("unknown critical chunk " + type);
    }
  }
  if (chunks.compressed.empty()) refuse("there is no IDAT chunk");

  const Header& header = chunks.header;
  if (header.colorType == kIndexed) {
    if (chunks.palette.entries.empty()) refuse("an indexed image has no PLTE chunk");
    if (chunks.palette.entries.size() > (std::size_t{1} << header.bitDepth)) refuse("PLTE has more entries than the bit depth allows");
  }
  if (transparency) {
    const std::span<const std::uint8_t> data = *transparency;
    switch (header.colorType) {
      case kIndexed:
        if (data.size() > chunks.palette.entries.size()) refuse("tRNS has more entries than PLTE");
        for (std::size_t i = 0; i < data.size(); ++i) chunks.palette.entries[i][3] = data[i];
        break;
      case kGray:
        if (data.size() != 2) refuse("tRNS chunk has a wrong length");
        chunks.colorKey = ColorKey{{(std::uint32_t{data[0]} << 8) | data[1], 0, 0}};
        break;
      case kTruecolor: {
        if (data.size() != 6) refuse("tRNS chunk has a wrong length");
        ColorKey key;
        for (std::size_t c = 0; c < 3; ++c) key.samples[c] = (std::uint32_t{data[2 * c]} << 8) | data[2 * c + 1];
        chunks.colorKey = key;
        break;
      }
      default:
        refuse("tRNS is not allowed for an image with an alpha channel");
    }
  }
  return chunks;
}

std::array<std::uint8_t, 4> pixelAt(const Chunks& chunks, const std::uint8_t* line, std::uint32_t x) {
  const Header& header = chunks.header;
  const unsigned channels = channelsOf(header.colorType);
  const std::uint8_t depth = header.bitDepth;
  std::array<std::uint32_t, 4> samples{};
  for (unsigned c = 0; c < channels; ++c) samples[c] = sampleAt(line, std::size_t{x} * channels + c, depth);
  const bool keyed = chunks.colorKey.has_value() &&
                     std::equal(samples.begin(), samples.begin() + (header.colorType == kGray ? 1 : 3),
                                chunks.colorKey->samples.begin());
  switch (header.colorType) {
    case kIndexed:
      if (samples[0] >= chunks.palette.entries.size()) refuse("a pixel refers to a missing palette entry");
      return chunks.palette.entries[samples[0]];
    case kGray: {
      const std::uint8_t gray = toEightBits(samples[0], depth);
      return {gray, gray, gray, static_cast<std::uint8_t>(keyed ? 0 : 255)};
    }
    case kGrayAlpha: {
      const std::uint8_t gray = toEightBits(samples[0], depth);
      return {gray, gray, gray, toEightBits(samples[1], depth)};
    }
    case kTruecolor:
      return {toEightBits(samples[0], depth), toEightBits(samples[1], depth), toEightBits(samples[2], depth),
              static_cast<std::uint8_t>(keyed ? 0 : 255)};
    default:
      return {toEightBits(samples[0], depth), toEightBits(samples[1], depth), toEightBits(samples[2], depth),
              toEightBits(samples[3], depth)};
  }
}

}  // namespace

StraightImage decodePng(std::span<const std::uint8_t> bytes, std::int64_t maximumSide, std::int64_t maximumPixels) {
  const Chunks chunks = readChunks(bytes, maximumSide, maximumPixels);
  const Header& header = chunks.header;

  std::size_t filteredSize = 0;
  for (const Pass& pass : passesOf(header)) {
    const std::uint32_t width = passWidth(header, pass);
    const std::uint32_t height = passHeight(header, pass);
    if (width != 0 && height != 0) filteredSize += std::size_t{height} * (rowBytes(header, width) + 1);
  }
  std::vector<std::uint8_t> filtered(filteredSize);
  const std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> inflater(
      libdeflate_alloc_decompressor(), &libdeflate_free_decompressor);
  if (!inflater) throw std::bad_alloc();
  std::size_t inflated = 0;
  const libdeflate_result result = libdeflate_zlib_decompress(inflater.get(), chunks.compressed.data(),
                                                              chunks.compressed.size(), filtered.data(),
                                                              filtered.size(), &inflated);
  if (result == LIBDEFLATE_INSUFFICIENT_SPACE) refuse("the image data is longer than the image");
  if (result != LIBDEFLATE_SUCCESS) refuse("the image data cannot be inflated");
  if (inflated != filtered.size()) refuse("the image data is shorter than the image");

  const std::size_t pixelBytes =
      std::max<std::size_t>(1, std::size_t{channelsOf(header.colorType)} * header.bitDepth / 8);
  StraightImage image;
  image.width = header.width;
  image.height = header.height;
  image.rgba.resize(std::size_t{header.width} * header.height * 4);
  std::uint8_t* rows = filtered.data();
  for (const Pass& pass : passesOf(header)) {
    const std::uint32_t width = passWidth(header, pass);
    const std::uint32_t height = passHeight(header, pass);
    if (width == 0 || height == 0) continue;
    const std::size_t stride = rowBytes(header, width);
    unfilter(rows, height, stride, pixelBytes);
    for (std::uint32_t y = 0; y < height; ++y) {
      const std::uint8_t* line = rows + std::size_t{y} * (stride + 1) + 1;
      const std::size_t targetRow = std::size_t{pass.y0} + std::size_t{y} * pass.dy;
      for (std::uint32_t x = 0; x < width; ++x) {
        const std::size_t targetColumn = std::size_t{pass.x0} + std::size_t{x} * pass.dx;
        const auto pixel = pixelAt(chunks, line, x);
        std::copy(pixel.begin(), pixel.end(),
                  image.rgba.begin() + static_cast<std::ptrdiff_t>((targetRow * header.width + targetColumn) * 4));
      }
    }
    rows += std::size_t{height} * (stride + 1);
  }
  return image;
}

}  // namespace pellucor::simulated
