#include "identity/utf8_repair.hpp"

#include "text/utf8.hpp"

namespace pellucor {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

std::string repairUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  std::size_t index = 0;
  while (index < bytes.size()) {
    const std::size_t start = index;
    if (text::nextScalar(bytes, index)) {
      text.append(bytes.substr(start, index - start));
      continue;
    }
    text.append(kReplacement);
    index += text::illFormedSubpartLength(bytes, index);
  }
  return text;
}

}  // namespace pellucor
