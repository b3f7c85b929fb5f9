#include "image/striped_deflate.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <random>
#include <stdexcept>
#include <vector>

#include "image/image_routines.hpp"

namespace pellucor {
namespace {

// `count` stripes of `stripeSize` bytes cut from `bytes` (the last one
// shorter when the size does not divide).
StripeSource stripesOf(const std::vector<std::uint8_t>& bytes, std::size_t stripeSize) {
  const std::size_t count = (bytes.size() + stripeSize - 1) / stripeSize;
  return {count, stripeSize, bytes.size() - (count - 1) * stripeSize,
          [&bytes, stripeSize, count](std::size_t stripe, std::uint8_t* out) {
            const std::size_t size = stripe + 1 == count ? bytes.size() - stripe * stripeSize : stripeSize;
            std::memcpy(out, bytes.data() + stripe * stripeSize, size);
          }};
}

// zlib's own decoder, which checks the header and the Adler-32.
std::vector<std::uint8_t> inflateWithZlib(const StripedStream& stream, std::size_t expectedSize) {
  std::vector<std::uint8_t> out(expectedSize + 1);
  uLongf size = out.size();
  const int status = uncompress(out.data(), &size, stream.bytes.get(), stream.size);
  if (status != Z_OK) throw std::runtime_error("zlib refused the stream: " + std::to_string(status));
  out.resize(size);
  return out;
}

// Bytes of several kinds: runs, text-like repeats, noise.
std::vector<std::uint8_t> mixedBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t region = i / 9973 % 3;
    bytes[i] = region == 0   ? std::uint8_t{7}
               : region == 1 ? static_cast<std::uint8_t>("stripes of rows "[i % 16])
                             : static_cast<std::uint8_t>(random());
  }
  return bytes;
}

struct StreamCase {
  std::size_t size;
  std::size_t stripeSize;
  int level;
};

class StripedDeflateTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(StripedDeflateTest, IsOneZlibStreamOfTheStripesWhateverTheThreads) {
  const auto bytes = mixedBytes(GetParam().size, 5);
  const StripeSource source = stripesOf(bytes, GetParam().stripeSize);
  const StripedStream oneThread = compressInStripes(source, GetParam().level, 1);
  EXPECT_EQ(inflateWithZlib(oneThread, bytes.size()), bytes);
  for (const unsigned threads : {0u, 2u, 5u}) {
    const StripedStream other = compressInStripes(source, GetParam().level, threads);
    ASSERT_EQ(other.size, oneThread.size) << threads << " threads";
    EXPECT_EQ(std::memcmp(other.bytes.get(), oneThread.bytes.get(), other.size), 0) << threads << " threads";
  }
}

INSTANTIATE_TEST_SUITE_P(Streams, StripedDeflateTest,
                         ::testing::Values(StreamCase{1, 64, 5}, StreamCase{200000, 200000, 5},
                                           StreamCase{200001, 20000, 1}, StreamCase{300000, 65536, 0},
                                           StreamCase{250000, 30001, 6}, StreamCase{400000, 100000, 12},
                                           StreamCase{9, 1, 9}));

// A stripe whose bytes cannot be produced fails the call with the stripe's
// own exception, after every thread stopped.
TEST(StripedDeflateFailureTest, AStripesFailureIsRethrown) {
  const auto bytes = mixedBytes(100000, 6);
  StripeSource source = stripesOf(bytes, 10000);
  const auto produce = source.produce;
  for (const unsigned threads : {1u, 2u, 4u}) {
    source.produce = [&](std::size_t stripe, std::uint8_t* out) {
      if (stripe == 6) fail(png_errors::kFailed);
      produce(stripe, out);
    };
    try {
      compressInStripes(source, 5, threads);
      FAIL() << "compression succeeded on " << threads << " threads";
    } catch (const PellucorError& error) {
      EXPECT_EQ(error.code, "png_failed");
    }
    source.produce = [&](std::size_t stripe, std::uint8_t* out) {
      if (stripe == 3) throw std::bad_alloc();
      produce(stripe, out);
    };
    EXPECT_THROW(compressInStripes(source, 5, threads), std::bad_alloc) << threads << " threads";
  }
}

TEST(StripedDeflateFailureTest, ALevelLibdeflateLacksLeavesTheEncoderUnavailable) {
  const auto bytes = mixedBytes(1000, 7);
  try {
    compressInStripes(stripesOf(bytes, 100), 13, 3);
    FAIL() << "compression succeeded";
  } catch (const PellucorError& error) {
    EXPECT_EQ(error.code, "png_failed");
    EXPECT_EQ(error.message, "PNG encoder unavailable");
  }
}

TEST(Adler32Test, CombinesAsZlibComputesTheWhole) {
  const auto bytes = mixedBytes(300000, 8);
  for (const std::size_t split : {std::size_t{0}, std::size_t{1}, std::size_t{65521}, std::size_t{65522},
                                  std::size_t{131042}, std::size_t{299999}, std::size_t{300000}}) {
    const auto first = static_cast<std::uint32_t>(adler32(1, bytes.data(), static_cast<uInt>(split)));
    const auto second = static_cast<std::uint32_t>(adler32(1, bytes.data() + split, static_cast<uInt>(bytes.size() - split)));
    EXPECT_EQ(combineAdler32(first, second, bytes.size() - split),
              static_cast<std::uint32_t>(adler32(1, bytes.data(), static_cast<uInt>(bytes.size()))))
        << "split at " << split;
  }
}

}  // namespace
}  // namespace pellucor
