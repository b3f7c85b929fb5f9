#include "text/utf8.hpp"

#include <cstring>

namespace pellucor::text {
namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

bool wordIsAscii(const char* p) noexcept {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return (word & kHighBits) == 0;
}

}  // namespace

bool isAscii(std::string_view bytes) noexcept {
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    if (!wordIsAscii(bytes.data() + i)) return false;
  }
  for (; i < bytes.size(); ++i) {
    if (static_cast<unsigned char>(bytes[i]) >= 0x80) return false;
  }
  return true;
}

bool isWellFormedUtf8(std::string_view bytes) noexcept {
  std::size_t i = 0;
  while (i < bytes.size()) {
    // Runs of ASCII are the common case; skip them eight bytes at a time.
    if (i + 8 <= bytes.size() && wordIsAscii(bytes.data() + i)) {
      i += 8;
      continue;
    }
    std::size_t length = 0;
    if (!utf8_detail::decode(bytes, i, length)) return false;
    i += length;
  }
  return true;
}

void appendUtf8(std::string& out, char32_t scalar) {
  if (scalar < 0x80) {
    out.push_back(static_cast<char>(scalar));
  } else if (scalar < 0x800) {
    const char bytes[2] = {static_cast<char>(0xC0 | (scalar >> 6)), static_cast<char>(0x80 | (scalar & 0x3F))};
    out.append(bytes, 2);
  } else if (scalar < 0x10000) {
    const char bytes[3] = {static_cast<char>(0xE0 | (scalar >> 12)), static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)),
                           static_cast<char>(0x80 | (scalar & 0x3F))};
    out.append(bytes, 3);
  } else {
    const char bytes[4] = {static_cast<char>(0xF0 | (scalar >> 18)), static_cast<char>(0x80 | ((scalar >> 12) & 0x3F)),
                           static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)), static_cast<char>(0x80 | (scalar & 0x3F))};
    out.append(bytes, 4);
  }
}

std::size_t illFormedSubpartLength(std::string_view bytes, std::size_t index) noexcept {
  if (index >= bytes.size()) return 0;
  const std::optional<utf8_detail::SequenceShape> shape =
      utf8_detail::sequenceShape(static_cast<unsigned char>(bytes[index]));
  if (!shape) return 1;
  // Counts the bytes that still fit the sequence; the first one that does not
  // fit is not part of the subpart, so it can start the next sequence.
  std::size_t length = 1;
  while (length <= shape->following && index + length < bytes.size()) {
    const auto byte = static_cast<unsigned char>(bytes[index + length]);
    const bool fits = length == 1 ? byte >= shape->low && byte <= shape->high : utf8_detail::isContinuation(byte);
    if (!fits) break;
    ++length;
  }
  return length;
}

}  // namespace pellucor::text
