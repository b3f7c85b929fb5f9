#include "intake/accepted_json.hpp"

#include <array>

#include "intake/json_characters.hpp"
#include "text/utf8.hpp"

namespace pellucor::accepted_json {
namespace {

using json_characters::isWhitespace;

void skipWhitespace(std::string_view text, std::size_t& position) noexcept {
  while (position < text.size() && isWhitespace(text[position])) ++position;
}

// Steps over the string whose opening quotation mark is at `position`, and
// tells whether it holds an escape. An escape is stepped over as a backslash
// and the byte after it: the rest of a \u escape is four hexadecimal digits,
// which never end a string.
bool skipString(std::string_view text, std::size_t& position) noexcept {
  bool escaped = false;
  std::size_t at = position + 1;
  while (at < text.size()) {
    const char c = text[at++];
    if (c == '"') break;
    if (c == '\\') {
      escaped = true;
      ++at;
    }
  }
  position = at;
  return escaped;
}

// Steps over the object or array whose opening bracket is at `position`.
void skipContainer(std::string_view text, std::size_t& position) noexcept {
  std::size_t depth = 0;
  while (position < text.size()) {
    const char c = text[position];
    if (c == '"') {
      skipString(text, position);
      continue;
    }
    ++position;
    if (c == '{' || c == '[') {
      ++depth;
    } else if ((c == '}' || c == ']') && --depth == 0) {
      return;
    }
  }
}

// Steps over a number or a literal: everything up to the next delimiter.
void skipScalar(std::string_view text, std::size_t& position) noexcept {
  while (position < text.size()) {
    const char c = text[position];
    if (c == ',' || c == '}' || c == ']' || c == ':' || isWhitespace(c)) return;
    ++position;
  }
}

// The scanner has checked that the four digits are there and hexadecimal.
char32_t hexUnit(std::string_view content, std::size_t at) noexcept {
  char32_t unit = 0;
  for (std::size_t k = 0; k < 4 && at + k < content.size(); ++k) {
    unit = (unit << 4) | json_characters::hexDigitValue(content[at + k]).value_or(0);
  }
  return unit;
}

}  // namespace

void Reader::skipWhitespace() noexcept { accepted_json::skipWhitespace(text_, position_); }

Kind Reader::kind() {
  skipWhitespace();
  if (position_ >= text_.size()) return Kind::null;
  switch (text_[position_]) {
    case '"': return Kind::string;
    case '{': return Kind::object;
    case '[': return Kind::array;
    case 't':
    case 'f': return Kind::boolean;
    case 'n': return Kind::null;
    default: return Kind::integer;
  }
}

Value Reader::value() {
  const Kind found = kind();
  const std::size_t start = position_;
  bool escaped = false;
  switch (found) {
    case Kind::string: escaped = skipString(text_, position_); break;
    case Kind::object:
    case Kind::array: skipContainer(text_, position_); break;
    case Kind::integer:
    case Kind::boolean:
    case Kind::null: skipScalar(text_, position_); break;
  }
  return Value{found, text_.substr(start, position_ - start), escaped};
}

void Reader::enter() {
  skipWhitespace();
  if (position_ < text_.size()) ++position_;
}

bool Reader::nextItem(char closing) {
  skipWhitespace();
  if (position_ >= text_.size()) return false;
  if (text_[position_] == closing) {
    ++position_;
    return false;
  }
  if (text_[position_] == ',') ++position_;
  return true;
}

bool Reader::member(std::string_view& key, std::string& scratch) {
  if (!nextItem('}')) return false;
  key = text(value(), scratch);
  skipWhitespace();
  if (position_ < text_.size()) ++position_;  // the colon
  return true;
}

bool Reader::element() { return nextItem(']'); }

std::string_view text(const Value& string, std::string& scratch) {
  if (string.raw.size() < 2) return {};
  const std::string_view content = string.raw.substr(1, string.raw.size() - 2);
  if (!string.escaped) return content;
  scratch.clear();
  appendDecoded(content, scratch);
  return scratch;
}

void appendDecoded(std::string_view content, std::string& out) {
  std::size_t i = 0;
  while (i < content.size()) {
    const std::size_t escape = content.find('\\', i);
    if (escape == std::string_view::npos) {
      out.append(content.substr(i));
      return;
    }
    out.append(content.substr(i, escape - i));
    if (escape + 1 >= content.size()) return;
    const char kind = content[escape + 1];
    i = escape + 2;
    switch (kind) {
      case 'b': out.push_back('\b'); break;
      case 'f': out.push_back('\f'); break;
      case 'n': out.push_back('\n'); break;
      case 'r': out.push_back('\r'); break;
      case 't': out.push_back('\t'); break;
      case 'u': {
        char32_t unit = hexUnit(content, i);
        i += 4;
        // The scanner accepts a high surrogate only with its low half next.
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 6 <= content.size()) {
          const char32_t low = hexUnit(content, i + 2);
          unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          i += 6;
        }
        text::appendUtf8(out, unit);
        break;
      }
      default: out.push_back(kind); break;  // quotation mark, reverse solidus, slash
    }
  }
}

}  // namespace pellucor::accepted_json
