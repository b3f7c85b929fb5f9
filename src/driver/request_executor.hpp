#pragma once

#include <cstddef>

#include "identity/process_identity_validating.hpp"
#include "native/native_operating.hpp"
#include "platform/clock.hpp"
#include "wire/records.hpp"

namespace pellucor {

// Turns one decoded request into one complete response: the identity check
// first, then a deadline check, then exactly one native operation, all inside
// the operation's budget on the monotonic clock. Never fails: every failure
// comes back as a response with ok false and an error. A successful response
// whose measured encoding (every "/" counted twice) exceeds 16 MiB becomes
// "response_too_large", keeping the verified target and dropping the result.
class RequestExecutor {
 public:
  RequestExecutor(ProcessIdentityValidating& identity, NativeOperating& native, const platform::Clock& clock)
      : identity_(identity), native_(native), clock_(clock) {}

  Response execute(const Request& request) const;

  static constexpr std::size_t kResponseCeiling = 16777216;
  // The budget of each operation, in seconds.
  static double budgetSeconds(PellucorOperation operation) noexcept;

 private:
  ProcessIdentityValidating& identity_;
  NativeOperating& native_;
  const platform::Clock& clock_;
};

namespace executor_errors {
inline constexpr ErrorDefinition kKeyMissing{"invalid_params", "physical key is missing"};
inline constexpr ErrorDefinition kOperationFailed{"operation_failed", "native operation failed closed"};
inline constexpr ErrorDefinition kResponseTooLarge{"response_too_large", "response exceeds 16 MiB"};
}  // namespace executor_errors

}  // namespace pellucor
