#include "intake/strict_json_scanner.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "intake/accepted_json.hpp"
#include "intake/json_characters.hpp"
#include "text/text_equality.hpp"
#include "text/utf8.hpp"

namespace pellucor {
namespace {

using namespace scanner_errors;

constexpr std::size_t kNowhere = static_cast<std::size_t>(-1);

// Bytes that end a run of plain string content: the quotation mark, the
// reverse solidus and the raw control bytes.
constexpr std::array<bool, 256> kStringStop = [] {
  std::array<bool, 256> stop{};
  for (std::size_t b = 0; b < 0x20; ++b) stop[b] = true;
  stop['"'] = stop['\\'] = true;
  return stop;
}();

using json_characters::hexDigitValue;
using json_characters::isWhitespace;

bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// The raw content of a string (between its quotation marks), whether it
// holds an escape, and whether that content is all ASCII.
struct RawString {
  std::string_view content;
  bool escaped = false;
  bool ascii = true;
};

// text::canonicalHash of ASCII text, which is its own canonical
// decomposition, without the call: most keys are short and plain.
std::uint64_t asciiHash(std::string_view text) noexcept {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ULL;
  }
  return hash;
}

// The keys of one object, compared by canonical equivalence: each key is
// hashed by its canonical decomposition, and only keys whose hashes meet are
// compared in full. A key without escapes is addressed in the request itself;
// a decoded key in one buffer of this object's decoded keys.
class KeySet {
 public:
  explicit KeySet(std::string_view request) : request_(request) {}

  // False when an equivalent key is already present.
  bool insert(const RawString& key) {
    Entry entry{};
    if (key.escaped) {
      entry.decoded = true;
      entry.offset = decoded_.size();
      accepted_json::appendDecoded(key.content, decoded_);
      entry.length = decoded_.size() - entry.offset;
    } else {
      entry.offset = static_cast<std::size_t>(key.content.data() - request_.data());
      entry.length = key.content.size();
    }
    const std::string_view text = textOf(entry);
    entry.hash = key.ascii && !key.escaped ? asciiHash(text) : text::canonicalHash(text);
    std::size_t slot = entry.hash % kSlots;
    while (slots_[slot] != 0) {
      const Entry& other = entries_[slots_[slot] - 1u];
      if (other.hash == entry.hash && text::textEquals(textOf(other), text)) return false;
      slot = (slot + 1) % kSlots;
    }
    entries_[count_] = entry;
    slots_[slot] = static_cast<std::uint8_t>(++count_);
    return true;
  }

 private:
  // Trivial, so that the table costs nothing until used: most objects are
  // small, and every object the scanner enters has a table on the stack.
  struct Entry {
    std::uint64_t hash;
    std::size_t offset;
    std::size_t length;
    bool decoded;
  };
  std::string_view textOf(const Entry& entry) const {
    return (entry.decoded ? std::string_view(decoded_) : request_).substr(entry.offset, entry.length);
  }

  static constexpr std::size_t kSlots = 2 * StrictJSONScanner::kMaximumMembers;
  std::string_view request_;
  std::array<Entry, StrictJSONScanner::kMaximumMembers> entries_;
  std::array<std::uint8_t, kSlots> slots_{};
  std::size_t count_ = 0;
  std::string decoded_;
};

class Parser {
 public:
  Parser(std::string_view bytes, StrictJSONLimits limits) : bytes_(bytes), limits_(limits) {}

  void document() {
    value(1);
    space();
    if (position_ != bytes_.size()) fail(kTrailingData);
  }

 private:
  bool atEnd() const noexcept { return position_ >= bytes_.size(); }
  char peek() const noexcept { return bytes_[position_]; }

  void space() noexcept {
    while (!atEnd() && isWhitespace(peek())) ++position_;
  }

  void value(int depth) {
    // The depth test comes first: a level too deep fails even when malformed.
    if (depth > limits_.maximumDepth) fail(kTooDeep);
    space();
    if (atEnd()) fail(kMalformed);
    switch (peek()) {
      case '"': string(); return;
      case '[': array(depth); return;
      case '{': object(depth); return;
      case 't': literal("true"); return;
      case 'f': literal("false"); return;
      case 'n': literal("null"); return;
      default: number(); return;
    }
  }

  // A member's value or an element at `depth`. Strings and numbers, by far
  // the most common, are read without the general dispatch; everything else
  // (and a depth beyond the limit) goes through value().
  void item(int depth) {
    space();
    if (depth <= limits_.maximumDepth && !atEnd()) {
      const char c = peek();
      if (c == '"') {
        string();
        return;
      }
      if (isDigit(c)) {
        number();
        return;
      }
    }
    value(depth);
  }

  void object(int depth) {
    ++position_;
    space();
    if (!atEnd() && peek() == '}') {
      ++position_;
      return;
    }
    KeySet keys(bytes_);
    std::size_t members = 0;
    for (;;) {
      const RawString key = string();
      // The member limit is judged once the key is read in full, before it
      // is compared with the others.
      if (++members > StrictJSONScanner::kMaximumMembers) fail(kTooManyMembers);
      if (!keys.insert(key)) fail(kDuplicateKey);
      space();
      if (atEnd() || peek() != ':') fail(kMalformed);
      ++position_;
      item(depth + 1);
      space();
      if (atEnd()) fail(kMalformed);
      if (peek() == ',') {
        ++position_;
        space();
        continue;
      }
      if (peek() == '}') {
        ++position_;
        return;
      }
      fail(kMalformed);
    }
  }

  void array(int depth) {
    ++position_;
    space();
    if (!atEnd() && peek() == ']') {
      ++position_;
      return;
    }
    for (;;) {
      item(depth + 1);
      space();
      if (atEnd()) fail(kMalformed);
      if (peek() == ',') {
        ++position_;
        continue;
      }
      if (peek() == ']') {
        ++position_;
        return;
      }
      fail(kMalformed);
    }
  }

  // Scans one string. Syntax errors are reported as soon as they are met; the
  // length test follows once the closing quotation mark is found, and only
  // then an escape that names an unpaired surrogate (which a JSON string
  // decoder refuses) is reported as malformed.
  RawString string() {
    if (atEnd() || peek() != '"') fail(kMalformed);
    const std::size_t opening = position_++;
    bool escaped = false;
    bool ascii = true;
    bool unpaired = false;
    // Just after an escaped high surrogate, while its low half is awaited.
    std::size_t highEnd = kNowhere;
    for (;;) {
      // Plain content runs up to the next byte that needs a look; a local
      // cursor keeps this loop in registers, and notes whether the content
      // is all ASCII on the way.
      std::size_t plain = position_;
      const std::size_t size = bytes_.size();
      const char* data = bytes_.data();
      unsigned char seen = 0;
      for (; plain < size && !kStringStop[static_cast<unsigned char>(data[plain])]; ++plain) {
        seen = static_cast<unsigned char>(seen | static_cast<unsigned char>(data[plain]));
      }
      if (seen >= 0x80) ascii = false;
      position_ = plain;
      if (atEnd()) fail(kMalformed);
      if (highEnd != kNowhere && position_ != highEnd) {
        unpaired = true;  // plain text followed the high surrogate
        highEnd = kNowhere;
      }
      const char stop = peek();
      if (stop == '"') break;
      if (stop != '\\') fail(kMalformed);  // a raw control byte
      const std::size_t escapeStart = position_;
      escaped = true;
      ++position_;
      if (atEnd()) fail(kMalformed);
      const char kind = peek();
      ++position_;
      if (kind != 'u') {
        if (kind != '"' && kind != '\\' && kind != '/' && kind != 'b' && kind != 'f' && kind != 'n' &&
            kind != 'r' && kind != 't') {
          fail(kMalformed);
        }
        if (highEnd != kNowhere) unpaired = true;
        highEnd = kNowhere;
        continue;
      }
      char32_t unit = 0;
      for (int k = 0; k < 4; ++k) {
        if (atEnd()) fail(kMalformed);
        const std::optional<std::uint8_t> digit = hexDigitValue(peek());
        if (!digit) fail(kMalformed);
        unit = (unit << 4) | *digit;
        ++position_;
      }
      const bool high = unit >= 0xD800 && unit <= 0xDBFF;
      const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
      if (low && highEnd != escapeStart) unpaired = true;
      if (!low && highEnd != kNowhere) unpaired = true;
      highEnd = high ? position_ : kNowhere;
    }
    const std::size_t closing = position_;
    if (highEnd != kNowhere) unpaired = true;
    if (closing - opening - 1 > limits_.maximumStringBytes) fail(kStringTooLong);
    if (unpaired) fail(kMalformed);
    ++position_;
    return RawString{bytes_.substr(opening + 1, closing - opening - 1), escaped, ascii};
  }

  void literal(std::string_view word) {
    for (const char expected : word) {
      if (atEnd() || peek() != expected) fail(kMalformed);
      ++position_;
    }
  }

  void number() {
    if (peek() == '-') ++position_;
    if (atEnd()) fail(kMalformed);
    if (peek() == '0') {
      ++position_;
      if (!atEnd() && isDigit(peek())) fail(kMalformed);
    } else if (peek() >= '1' && peek() <= '9') {
      while (!atEnd() && isDigit(peek())) ++position_;
    } else {
      fail(kMalformed);
    }
    if (!atEnd() && (peek() == '.' || peek() == 'e' || peek() == 'E')) fail(kNonInteger);
  }

  std::string_view bytes_;
  StrictJSONLimits limits_;
  std::size_t position_ = 0;
};

}  // namespace

void StrictJSONScanner::validate() const {
  if (!text::isWellFormedUtf8(bytes_)) fail(kNotUtf8);
  Parser(bytes_, limits_).document();
}

}  // namespace pellucor
