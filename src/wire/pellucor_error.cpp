#include "wire/pellucor_error.hpp"

#include "text/text_equality.hpp"

namespace pellucor {

bool operator==(const PellucorError& a, const PellucorError& b) {
  return text::textEquals(a.code, b.code) && text::textEquals(a.message, b.message) &&
         a.retryable == b.retryable;
}

void fail(const ErrorDefinition& definition) { throw PellucorError(definition); }

}  // namespace pellucor
