#include "text/canonical_text_search.hpp"

#include <utf8proc.h>

#include "text/text_equality.hpp"
#include "text/utf8.hpp"

namespace pellucor::canonical_text {
namespace {

// Whether a character boundary lies at byte `offset` of the canonical text
// `key`. Offsets that the caller asks about always fall between scalars:
// every needle is well-formed UTF-8, so a byte match starts and ends on
// scalar boundaries. Grapheme breaking is stateful, so the walk starts at
// the beginning of the text.
bool isCharacterBoundary(std::string_view key, std::size_t offset) {
  if (offset == 0 || offset >= key.size()) return true;
  std::size_t index = 0;
  std::optional<char32_t> previous = text::nextScalar(key, index);
  utf8proc_int32_t state = 0;
  while (previous && index < key.size()) {
    const std::size_t at = index;
    const std::optional<char32_t> next = text::nextScalar(key, index);
    if (!next) return false;
    const bool breaks = utf8proc_grapheme_break_stateful(static_cast<utf8proc_int32_t>(*previous),
                                                         static_cast<utf8proc_int32_t>(*next), &state);
    if (at == offset) return breaks;
    if (at > offset) return false;
    previous = next;
  }
  return false;
}

}  // namespace

bool startsWith(std::string_view text, std::string_view prefix) {
  const std::string key = text::canonicalKey(text);
  const std::string wanted = text::canonicalKey(prefix);
  return key.starts_with(wanted) && isCharacterBoundary(key, wanted.size());
}

std::optional<std::string> canonicalFormWithoutSuffix(std::string_view text, std::string_view suffix) {
  std::string key = text::canonicalKey(text);
  const std::string wanted = text::canonicalKey(suffix);
  if (!key.ends_with(wanted)) return std::nullopt;
  const std::size_t cut = key.size() - wanted.size();
  if (!isCharacterBoundary(key, cut)) return std::nullopt;
  key.resize(cut);
  return key;
}

std::optional<std::string> canonicalFormBeforeFirst(std::string_view text, std::string_view needle) {
  std::string key = text::canonicalKey(text);
  const std::string wanted = text::canonicalKey(needle);
  for (std::size_t at = key.find(wanted); at != std::string::npos; at = key.find(wanted, at + 1)) {
    if (isCharacterBoundary(key, at) && isCharacterBoundary(key, at + wanted.size())) {
      key.resize(at);
      return key;
    }
  }
  return std::nullopt;
}

}  // namespace pellucor::canonical_text
