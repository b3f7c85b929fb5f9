#include "intake/strict_json_scanner.hpp"

#include <array>
#include <functional>

#include "text/text_equality.hpp"
#include "text/utf8.hpp"

namespace pellucor {
namespace {

using namespace scanner_errors;

bool isWhitespace(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

int hexValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The keys of one object, compared by canonical equivalence. An open-addressed
// table of at most 64 entries keeps each insertion constant in cost.
class KeySet {
 public:
  // False when an equivalent key is already present.
  bool insert(std::string_view key) {
    std::string canonical = text::canonicalKey(key);
    std::size_t slot = std::hash<std::string_view>{}(canonical) % kSlots;
    while (slots_[slot] != 0) {
      if (keys_[slots_[slot] - 1u] == canonical) return false;
      slot = (slot + 1) % kSlots;
    }
    keys_.push_back(std::move(canonical));
    slots_[slot] = static_cast<std::uint8_t>(keys_.size());
    return true;
  }

 private:
  static constexpr std::size_t kSlots = 128;  // twice the member limit
  std::array<std::uint8_t, kSlots> slots_{};
  std::vector<std::string> keys_;
};

class Parser {
 public:
  explicit Parser(std::string_view bytes) : bytes_(bytes) {}

  ScannedValue document() {
    ScannedValue root = value(1);
    space();
    if (position_ != bytes_.size()) fail(kTrailingData);
    return root;
  }

 private:
  bool atEnd() const noexcept { return position_ >= bytes_.size(); }
  char peek() const noexcept { return bytes_[position_]; }

  void space() noexcept {
    while (!atEnd() && isWhitespace(peek())) ++position_;
  }

  ScannedValue value(int depth) {
    // The depth test comes first: a ninth level fails even when malformed.
    if (depth > StrictJSONScanner::kMaximumDepth) fail(kTooDeep);
    space();
    if (atEnd()) fail(kMalformed);
    ScannedValue result;
    switch (peek()) {
      case '"':
        result.kind = ScannedValue::Kind::string;
        result.text = string();
        break;
      case '[':
        result.kind = ScannedValue::Kind::array;
        array(depth, result);
        break;
      case '{':
        result.kind = ScannedValue::Kind::object;
        object(depth, result);
        break;
      case 't':
        literal("true");
        result.kind = ScannedValue::Kind::boolean;
        result.boolean = true;
        break;
      case 'f':
        literal("false");
        result.kind = ScannedValue::Kind::boolean;
        break;
      case 'n':
        literal("null");
        result.kind = ScannedValue::Kind::null;
        break;
      default:
        result.kind = ScannedValue::Kind::integer;
        result.text = number();
        break;
    }
    return result;
  }

  void object(int depth, ScannedValue& result) {
    ++position_;
    space();
    if (!atEnd() && peek() == '}') {
      ++position_;
      return;
    }
    KeySet keys;
    for (;;) {
      std::string key = string();
      if (result.members.size() + 1 > StrictJSONScanner::kMaximumMembers) fail(kTooManyMembers);
      if (!keys.insert(key)) fail(kDuplicateKey);
      space();
      if (atEnd() || peek() != ':') fail(kMalformed);
      ++position_;
      result.members.push_back({std::move(key), value(depth + 1)});
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

  void array(int depth, ScannedValue& result) {
    ++position_;
    space();
    if (!atEnd() && peek() == ']') {
      ++position_;
      return;
    }
    for (;;) {
      result.elements.push_back(value(depth + 1));
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

  // Scans and decodes one string. Syntax errors are reported as soon as they
  // are met; the length test follows once the closing quotation mark is found,
  // and only then an escape that names an unpaired surrogate (which a JSON
  // string decoder refuses) is reported as malformed.
  std::string string() {
    if (atEnd() || peek() != '"') fail(kMalformed);
    const std::size_t opening = position_++;
    std::string decoded;
    bool undecodable = false;
    char32_t pendingHigh = 0;  // a high surrogate waiting for its low half
    std::size_t runStart = position_;
    for (;;) {
      if (atEnd()) fail(kMalformed);
      const auto byte = static_cast<unsigned char>(peek());
      if (byte < 0x20) fail(kMalformed);
      if (byte != '"' && byte != '\\') {
        ++position_;
        continue;
      }
      if (position_ > runStart) {
        if (pendingHigh != 0) undecodable = true;
        pendingHigh = 0;
        decoded.append(bytes_.substr(runStart, position_ - runStart));
      }
      if (byte == '"') break;
      ++position_;  // the backslash
      if (atEnd()) fail(kMalformed);
      const char escape = peek();
      ++position_;
      char32_t unit = 0;
      switch (escape) {
        case '"': unit = '"'; break;
        case '\\': unit = '\\'; break;
        case '/': unit = '/'; break;
        case 'b': unit = '\b'; break;
        case 'f': unit = '\f'; break;
        case 'n': unit = '\n'; break;
        case 'r': unit = '\r'; break;
        case 't': unit = '\t'; break;
        case 'u':
          for (int k = 0; k < 4; ++k) {
            if (atEnd()) fail(kMalformed);
            const int digit = hexValue(peek());
            if (digit < 0) fail(kMalformed);
            unit = (unit << 4) | static_cast<char32_t>(digit);
            ++position_;
          }
          break;
        default:
          fail(kMalformed);
      }
      runStart = position_;
      if (unit >= 0xD800 && unit <= 0xDBFF) {
        if (pendingHigh != 0) undecodable = true;
        pendingHigh = unit;
        continue;
      }
      if (unit >= 0xDC00 && unit <= 0xDFFF) {
        if (pendingHigh == 0) {
          undecodable = true;
          continue;
        }
        text::appendUtf8(decoded, 0x10000 + ((pendingHigh - 0xD800) << 10) + (unit - 0xDC00));
        pendingHigh = 0;
        continue;
      }
      if (pendingHigh != 0) undecodable = true;
      pendingHigh = 0;
      text::appendUtf8(decoded, unit);
    }
    const std::size_t closing = position_;
    if (closing - opening - 1 > StrictJSONScanner::kMaximumStringBytes) fail(kStringTooLong);
    if (undecodable || pendingHigh != 0) fail(kMalformed);
    ++position_;
    return decoded;
  }

  void literal(std::string_view word) {
    for (const char expected : word) {
      if (atEnd() || peek() != expected) fail(kMalformed);
      ++position_;
    }
  }

  std::string number() {
    const std::size_t start = position_;
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
    return std::string(bytes_.substr(start, position_ - start));
  }

  std::string_view bytes_;
  std::size_t position_ = 0;
};

}  // namespace

const ScannedValue* ScannedValue::member(std::string_view key) const {
  for (const auto& m : members) {
    if (m.key == key) return &m.value;
  }
  return nullptr;
}

void StrictJSONScanner::validate() const { (void)scan(); }

ScannedValue StrictJSONScanner::scan() const {
  if (!text::isWellFormedUtf8(bytes_)) fail(kNotUtf8);
  return Parser(bytes_).document();
}

}  // namespace pellucor
