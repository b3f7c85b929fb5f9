#include "identity/utf8_repair.hpp"

#include <cstdint>
#include <optional>

namespace pellucor {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

struct ByteRange {
  std::uint8_t low;
  std::uint8_t high;
  bool holds(std::uint8_t byte) const { return byte >= low && byte <= high; }
};

constexpr ByteRange kContinuation{0x80, 0xBF};

// The well-formed sequences by their first byte, as Unicode's table of
// well-formed UTF-8 byte sequences lists them: how many bytes follow, and the
// range the first following byte must fall in (the others are plain
// continuation bytes). Nothing for a byte that starts no sequence.
struct SequenceShape {
  std::size_t following;
  ByteRange second;
};

std::optional<SequenceShape> shapeOf(std::uint8_t lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return SequenceShape{1, kContinuation};
  if (lead == 0xE0) return SequenceShape{2, {0xA0, 0xBF}};
  if (lead == 0xED) return SequenceShape{2, {0x80, 0x9F}};
  if (lead >= 0xE1 && lead <= 0xEF) return SequenceShape{2, kContinuation};
  if (lead == 0xF0) return SequenceShape{3, {0x90, 0xBF}};
  if (lead >= 0xF1 && lead <= 0xF3) return SequenceShape{3, kContinuation};
  if (lead == 0xF4) return SequenceShape{3, {0x80, 0x8F}};
  return std::nullopt;
}

}  // namespace

std::string repairUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  std::size_t index = 0;
  while (index < bytes.size()) {
    const auto lead = static_cast<std::uint8_t>(bytes[index]);
    if (lead < 0x80) {
      text.push_back(bytes[index]);
      ++index;
      continue;
    }
    const std::optional<SequenceShape> shape = shapeOf(lead);
    if (!shape) {
      text.append(kReplacement);
      ++index;
      continue;
    }
    // Counts the bytes that still fit the sequence; the first one that does
    // not fit is not consumed, so it can start the next sequence.
    std::size_t length = 1;
    while (length <= shape->following && index + length < bytes.size()) {
      const auto byte = static_cast<std::uint8_t>(bytes[index + length]);
      const ByteRange expected = length == 1 ? shape->second : kContinuation;
      if (!expected.holds(byte)) break;
      ++length;
    }
    if (length == shape->following + 1) {
      text.append(bytes.substr(index, length));
    } else {
      text.append(kReplacement);
    }
    index += length;
  }
  return text;
}

}  // namespace pellucor
