#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// One zlib stream compressed in independent stripes on several threads. Each
// stripe is a raw deflate stream of its own (no match reaches back into an
// earlier stripe); every stripe but the last has its final-block flag cleared
// and ends with an empty stored block, which brings the next stripe to a byte
// boundary, as a flush of a streaming compressor does. The stream's Adler-32
// is combined from the stripes'. The bytes depend only on the stripes and the
// level, never on the number of threads.
namespace pellucor {

struct StripedStream {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t size = 0;
};

// What to compress: `count` stripes of `stripeSize` bytes each, the last one
// `lastStripeSize` bytes (1 to stripeSize); `produce(stripe, out)` writes the
// bytes of stripe `stripe` to `out`. It is called once per stripe, from any of
// the threads, several at a time.
struct StripeSource {
  std::size_t count = 0;
  std::size_t stripeSize = 0;
  std::size_t lastStripeSize = 0;
  std::function<void(std::size_t stripe, std::uint8_t* out)> produce;
};

// Compresses `source` at libdeflate's `level` on at most `threads` threads (the
// caller's one among them; 0 counts as 1), started for this call and joined
// before it returns. Fails with "png_failed": "PNG encoder unavailable" when
// no compressor can be created for the level, "PNG encoding failed" when
// compression fails; an exception thrown by `produce` or by the memory of any
// stripe is rethrown unchanged (the first one, after every thread stopped).
StripedStream compressInStripes(const StripeSource& source, int level, unsigned threads);

// The Adler-32 of A followed by B, from the Adler-32s of A and B and the length
// of B.
std::uint32_t combineAdler32(std::uint32_t first, std::uint32_t second, std::size_t secondSize) noexcept;

}  // namespace pellucor
