#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace pellucor::platform {

// A failure reported by the operating system (or by the simulated desktop that
// stands in for it). It is deliberately not a PellucorError: the boundaries that
// must tell the two apart (entry, executor, keyboard revalidation) catch by type.
class PlatformError : public std::runtime_error {
 public:
  explicit PlatformError(const std::string& what, std::optional<std::int64_t> status = std::nullopt)
      : std::runtime_error(what), status_(status) {}

  // The platform's status code, when the failing call reported one.
  std::optional<std::int64_t> status() const noexcept { return status_; }

 private:
  std::optional<std::int64_t> status_;
};

}  // namespace pellucor::platform
