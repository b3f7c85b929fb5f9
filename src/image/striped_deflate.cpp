#include "image/striped_deflate.hpp"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "image/image_routines.hpp"

namespace pellucor {
namespace {

std::unique_ptr<std::uint8_t[]> uninitialisedBytes(std::size_t size) {
  return std::unique_ptr<std::uint8_t[]>(new std::uint8_t[size]);
}

struct CompressorDeleter {
  void operator()(libdeflate_compressor* compressor) const noexcept { libdeflate_free_compressor(compressor); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorDeleter>;

// Reads a deflate stream bit by bit, least significant bit of each byte
// first; bits past the end read as zero, and position() tells whether they
// were reached.
class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t position() const noexcept { return position_; }
  bool overrun() const noexcept { return position_ > size_ * 8; }
  void skip(std::size_t bits) noexcept { position_ += bits; }

  // The next 32 bits without taking them.
  std::uint32_t peek() const noexcept {
    const std::size_t byte = position_ >> 3;
    std::uint64_t word = 0;
    if (byte + 8 <= size_) {
      if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&word, data_ + byte, 8);
      } else {
        for (std::size_t i = 0; i < 8; ++i) word |= std::uint64_t{data_[byte + i]} << (8 * i);
      }
    } else {
      for (std::size_t i = 0; byte + i < size_ && i < 8; ++i) word |= std::uint64_t{data_[byte + i]} << (8 * i);
    }
    return static_cast<std::uint32_t>(word >> (position_ & 7));
  }

  // Takes `count` bits (at most 16) as a number, first bit least significant.
  std::uint32_t take(unsigned count) noexcept {
    const std::uint32_t value = peek() & ((1u << count) - 1);
    position_ += count;
    return value;
  }

  void alignToByte() noexcept { position_ = (position_ + 7) & ~std::size_t{7}; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

constexpr unsigned kLongestCode = 15;
constexpr unsigned kTableBits = 10;

// A canonical Huffman code of deflate: codes of up to kTableBits bits are
// looked up in one table, longer ones decoded bit by bit.
class HuffmanCode {
 public:
  // False when the lengths describe more codes than fit.
  bool build(const std::uint8_t* lengths, std::size_t count) {
    counts_.fill(0);
    table_.fill(0);
    for (std::size_t i = 0; i < count; ++i) ++counts_[lengths[i]];
    counts_[0] = 0;
    int left = 1;
    for (unsigned length = 1; length <= kLongestCode; ++length) {
      left = 2 * left - counts_[length];
      if (left < 0) return false;
    }
    std::array<std::uint16_t, kLongestCode + 2> offsets{};
    std::array<std::uint32_t, kLongestCode + 2> nextCode{};
    for (unsigned length = 1; length <= kLongestCode; ++length) {
      offsets[length + 1] = static_cast<std::uint16_t>(offsets[length] + counts_[length]);
      nextCode[length + 1] = (nextCode[length] + counts_[length]) << 1;
    }
    for (std::size_t symbol = 0; symbol < count; ++symbol) {
      const unsigned length = lengths[symbol];
      if (length == 0) continue;
      symbols_[offsets[length]++] = static_cast<std::uint16_t>(symbol);
      const std::uint32_t code = nextCode[length]++;
      if (length > kTableBits) continue;
      // The stream holds the code most significant bit first.
      std::uint32_t reversed = 0;
      for (unsigned bit = 0; bit < length; ++bit) reversed |= ((code >> bit) & 1u) << (length - 1 - bit);
      for (std::uint32_t index = reversed; index < table_.size(); index += 1u << length) {
        table_[index] = static_cast<std::uint16_t>(symbol << 4 | length);
      }
    }
    return true;
  }

  // The next symbol, or nothing when the bits are no code.
  std::optional<unsigned> decode(BitReader& reader) const noexcept {
    const std::uint32_t bits = reader.peek();
    const std::uint16_t entry = table_[bits & ((1u << kTableBits) - 1)];
    if (entry != 0) {
      reader.skip(entry & 15u);
      return entry >> 4;
    }
    std::uint32_t code = 0;
    std::uint32_t first = 0;
    std::uint32_t index = 0;
    for (unsigned length = 1; length <= kLongestCode; ++length) {
      code |= (bits >> (length - 1)) & 1u;
      const std::uint32_t count = counts_[length];
      if (code - first < count) {
        reader.skip(length);
        return symbols_[index + code - first];
      }
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    return std::nullopt;
  }

 private:
  std::array<std::uint16_t, 1u << kTableBits> table_{};
  std::array<std::uint16_t, kLongestCode + 1> counts_{};
  std::array<std::uint16_t, 288> symbols_{};
};

constexpr unsigned kEndOfBlock = 256;
constexpr unsigned kLargestLengthSymbol = 285;
constexpr unsigned kLargestDistanceSymbol = 29;

// Steps over the symbols of one compressed block up to its end-of-block code.
bool walkSymbols(BitReader& reader, const HuffmanCode& literals, const HuffmanCode& distances) {
  for (;;) {
    if (reader.overrun()) return false;
    const auto symbol = literals.decode(reader);
    if (!symbol || *symbol > kLargestLengthSymbol) return false;
    if (*symbol < kEndOfBlock) continue;
    if (*symbol == kEndOfBlock) return true;
    if (*symbol >= 265 && *symbol < kLargestLengthSymbol) reader.skip((*symbol - 261) / 4);
    const auto distance = distances.decode(reader);
    if (!distance || *distance > kLargestDistanceSymbol) return false;
    if (*distance >= 4) reader.skip((*distance - 2) / 2);
  }
}

bool readDynamicCodes(BitReader& reader, HuffmanCode& literals, HuffmanCode& distances) {
  constexpr std::array<std::uint8_t, 19> kOrder{16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  const unsigned literalCount = reader.take(5) + 257;
  const unsigned distanceCount = reader.take(5) + 1;
  const unsigned lengthCodeCount = reader.take(4) + 4;
  if (literalCount > 286 || distanceCount > 30) return false;
  std::array<std::uint8_t, 19> lengthCodeLengths{};
  for (unsigned i = 0; i < lengthCodeCount; ++i) lengthCodeLengths[kOrder[i]] = static_cast<std::uint8_t>(reader.take(3));
  HuffmanCode lengthCode;
  if (!lengthCode.build(lengthCodeLengths.data(), lengthCodeLengths.size())) return false;
  std::array<std::uint8_t, 286 + 30> lengths{};
  const unsigned total = literalCount + distanceCount;
  for (unsigned n = 0; n < total;) {
    if (reader.overrun()) return false;
    const auto symbol = lengthCode.decode(reader);
    if (!symbol) return false;
    if (*symbol < 16) {
      lengths[n++] = static_cast<std::uint8_t>(*symbol);
      continue;
    }
    std::uint8_t value = 0;
    unsigned repeat = 0;
    if (*symbol == 16) {
      if (n == 0) return false;
      value = lengths[n - 1];
      repeat = 3 + reader.take(2);
    } else if (*symbol == 17) {
      repeat = 3 + reader.take(3);
    } else {
      repeat = 11 + reader.take(7);
    }
    if (n + repeat > total) return false;
    std::fill_n(lengths.begin() + n, repeat, value);
    n += repeat;
  }
  return literals.build(lengths.data(), literalCount) &&
         distances.build(lengths.data() + literalCount, distanceCount);
}

struct FinalBlock {
  std::size_t headerBit = 0;  // the block's final-block flag
  std::size_t endBit = 0;     // just past its end-of-block code
};

// Finds the final block of a raw deflate stream by stepping over every block
// before it; nothing when the stream is malformed or ends early.
std::optional<FinalBlock> findFinalBlock(const std::uint8_t* data, std::size_t size) {
  BitReader reader{data, size};
  HuffmanCode literals;
  HuffmanCode distances;
  for (;;) {
    if (reader.position() + 3 > size * 8) return std::nullopt;
    const std::size_t headerBit = reader.position();
    const bool final = reader.take(1) != 0;
    switch (reader.take(2)) {
      case 0: {
        reader.alignToByte();
        const std::size_t byte = reader.position() / 8;
        if (byte + 4 > size) return std::nullopt;
        const std::size_t length = data[byte] | std::size_t{data[byte + 1]} << 8;
        reader.skip(32 + 8 * length);
        break;
      }
      case 1: {
        std::array<std::uint8_t, 288 + 30> lengths{};
        std::fill_n(lengths.begin(), 144, std::uint8_t{8});
        std::fill_n(lengths.begin() + 144, 112, std::uint8_t{9});
        std::fill_n(lengths.begin() + 256, 24, std::uint8_t{7});
        std::fill_n(lengths.begin() + 280, 8, std::uint8_t{8});
        std::fill_n(lengths.begin() + 288, 30, std::uint8_t{5});
        if (!literals.build(lengths.data(), 288) || !distances.build(lengths.data() + 288, 30)) return std::nullopt;
        if (!walkSymbols(reader, literals, distances)) return std::nullopt;
        break;
      }
      case 2:
        if (!readDynamicCodes(reader, literals, distances) || !walkSymbols(reader, literals, distances)) {
          return std::nullopt;
        }
        break;
      default:
        return std::nullopt;
    }
    if (reader.overrun()) return std::nullopt;
    if (final) return FinalBlock{headerBit, reader.position()};
  }
}

// Turns the complete raw deflate stream in out[0..size) into one that
// continues: its final block is no longer final, and an empty stored block
// follows it, ending on a byte boundary. `out` has room for 5 more bytes.
// Returns the new size.
std::size_t continueStream(std::uint8_t* out, std::size_t size) {
  const auto final = findFinalBlock(out, size);
  if (!final) fail(png_errors::kFailed);
  out[final->headerBit / 8] &= static_cast<std::uint8_t>(~(1u << (final->headerBit % 8)));
  // The stored block's header is three zero bits (not final, stored), then
  // zero bits up to the byte boundary, then its length 0 and the length's
  // complement.
  const std::size_t endByte = final->endBit / 8;
  const std::size_t headerEnd = (final->endBit + 3 + 7) / 8;
  out[endByte] = static_cast<std::uint8_t>(out[endByte] & ((1u << (final->endBit % 8)) - 1));
  for (std::size_t byte = endByte + 1; byte < headerEnd; ++byte) out[byte] = 0;
  constexpr std::array<std::uint8_t, 4> kEmptyStoredLength{0x00, 0x00, 0xff, 0xff};
  std::copy(kEmptyStoredLength.begin(), kEmptyStoredLength.end(), out + headerEnd);
  return headerEnd + kEmptyStoredLength.size();
}

// The zlib header libdeflate writes for `level`.
std::array<std::uint8_t, 2> zlibHeader(int level) {
  const unsigned hint = level < 2 ? 0 : level < 6 ? 1 : level < 8 ? 2 : 3;
  unsigned header = 0x7800 | hint << 6;
  header |= 31 - header % 31;
  return {static_cast<std::uint8_t>(header >> 8), static_cast<std::uint8_t>(header & 0xff)};
}

struct Stripe {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t size = 0;
  std::uint32_t adler = 1;
};

// Compresses the stripes the shared counter hands out until none is left or
// another thread failed; the first failure of any thread is kept.
class StripeWork {
 public:
  StripeWork(const StripeSource& source, int level) : source_(source), level_(level), stripes_(source.count) {}

  void run() noexcept {
    try {
      Compressor compressor{libdeflate_alloc_compressor(level_)};
      if (!compressor) fail(png_errors::kUnavailable);
      auto input = uninitialisedBytes(source_.stripeSize);
      for (;;) {
        if (failed_.load(std::memory_order_relaxed)) return;
        const std::size_t index = next_.fetch_add(1, std::memory_order_relaxed);
        if (index >= source_.count) return;
        compressStripe(compressor.get(), index, input.get());
      }
    } catch (...) {
      const std::lock_guard lock{mutex_};
      if (!failure_) failure_ = std::current_exception();
      failed_.store(true, std::memory_order_relaxed);
    }
  }

  void rethrowFailure() const {
    if (failure_) std::rethrow_exception(failure_);
  }

  const std::vector<Stripe>& stripes() const noexcept { return stripes_; }

 private:
  void compressStripe(libdeflate_compressor* compressor, std::size_t index, std::uint8_t* input) {
    const bool last = index + 1 == source_.count;
    const std::size_t size = last ? source_.lastStripeSize : source_.stripeSize;
    source_.produce(index, input);
    Stripe& stripe = stripes_[index];
    stripe.adler = libdeflate_adler32(1, input, size);
    const std::size_t bound = libdeflate_deflate_compress_bound(compressor, size) + 5;
    stripe.bytes = uninitialisedBytes(bound);
    stripe.size = libdeflate_deflate_compress(compressor, input, size, stripe.bytes.get(), bound);
    if (stripe.size == 0) fail(png_errors::kFailed);
    if (!last) stripe.size = continueStream(stripe.bytes.get(), stripe.size);
  }

  const StripeSource& source_;
  int level_;
  std::vector<Stripe> stripes_;
  std::atomic<std::size_t> next_{0};
  std::atomic<bool> failed_{false};
  std::mutex mutex_;
  std::exception_ptr failure_;
};

}  // namespace

std::uint32_t combineAdler32(std::uint32_t first, std::uint32_t second, std::size_t secondSize) noexcept {
  constexpr std::uint32_t kBase = 65521;
  const std::uint32_t remainder = static_cast<std::uint32_t>(secondSize % kBase);
  std::uint32_t sum1 = first & 0xffff;
  std::uint32_t sum2 = static_cast<std::uint32_t>((std::uint64_t{remainder} * sum1) % kBase);
  sum1 += (second & 0xffff) + kBase - 1;
  sum2 += (first >> 16) + (second >> 16) + kBase - remainder;
  if (sum1 >= kBase) sum1 -= kBase;
  if (sum1 >= kBase) sum1 -= kBase;
  if (sum2 >= 2 * kBase) sum2 -= 2 * kBase;
  if (sum2 >= kBase) sum2 -= kBase;
  return sum1 | sum2 << 16;
}

StripedStream compressInStripes(const StripeSource& source, int level, unsigned threads) {
  if (source.count == 0) fail(png_errors::kFailed);
  StripeWork work{source, level};
  const std::size_t wanted = std::min<std::size_t>(std::max(threads, 1u), source.count);
  {
    std::vector<std::thread> helpers;
    helpers.reserve(wanted - 1);
    for (std::size_t i = 1; i < wanted; ++i) {
      // A thread the system refuses leaves its stripes to the others.
      try {
        helpers.emplace_back([&work] { work.run(); });
      } catch (const std::system_error&) {
        break;
      }
    }
    work.run();
    for (std::thread& helper : helpers) helper.join();
  }
  work.rethrowFailure();

  const auto header = zlibHeader(level);
  std::size_t size = header.size() + 4;
  for (const Stripe& stripe : work.stripes()) size += stripe.size;
  StripedStream stream{uninitialisedBytes(size), size};
  std::uint8_t* out = std::copy(header.begin(), header.end(), stream.bytes.get());
  std::uint32_t adler = 1;
  for (std::size_t i = 0; i < work.stripes().size(); ++i) {
    const Stripe& stripe = work.stripes()[i];
    out = std::copy(stripe.bytes.get(), stripe.bytes.get() + stripe.size, out);
    const bool last = i + 1 == work.stripes().size();
    adler = combineAdler32(adler, stripe.adler, last ? source.lastStripeSize : source.stripeSize);
  }
  for (int shift = 24; shift >= 0; shift -= 8) *out++ = static_cast<std::uint8_t>(adler >> shift);
  return stream;
}

}  // namespace pellucor
