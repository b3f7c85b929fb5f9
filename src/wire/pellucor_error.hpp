#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace pellucor {

// A code and message pair, declared once beside the module that raises it.
struct ErrorDefinition {
  std::string_view code;
  std::string_view message;
};

// The single error record of the system. It is both a value (the response's
// "error" member) and the exception every layer throws for a condition it
// reports. Every error the helper creates has retryable false.
class PellucorError : public std::exception {
 public:
  PellucorError(std::string errorCode, std::string errorMessage, bool isRetryable = false)
      : code(std::move(errorCode)), message(std::move(errorMessage)), retryable(isRetryable) {}
  explicit PellucorError(const ErrorDefinition& definition)
      : PellucorError(std::string(definition.code), std::string(definition.message)) {}

  const char* what() const noexcept override { return message.c_str(); }

  std::string code;
  std::string message;
  bool retryable;
};

bool operator==(const PellucorError& a, const PellucorError& b);

// Throws the error that `definition` names.
[[noreturn]] void fail(const ErrorDefinition& definition);

}  // namespace pellucor
