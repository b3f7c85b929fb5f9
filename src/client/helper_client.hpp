#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "client/child_process.hpp"
#include "client/outcome.hpp"
#include "client/request_building.hpp"
#include "client/verification.hpp"
#include "wire/enumerations.hpp"
#include "wire/records.hpp"

namespace pellucor::client {

// The one argument of approval mode.
inline constexpr std::string_view kApprovalArgument = "--approval-control=accessibility-and-screen-recording";

// The helper's own budget for each operation; the client allows this much and
// a margin (process start, the identity check's platform calls) before it
// kills the helper.
std::chrono::milliseconds operationBudget(PellucorOperation operation) noexcept;
inline constexpr std::chrono::milliseconds kDefaultMargin{2000};
// Approval mode has no budget of its own; it waits half a second and makes
// a few platform calls.
inline constexpr std::chrono::milliseconds kDefaultApprovalLimit{30000};

struct ClientOptions {
  std::chrono::milliseconds margin = kDefaultMargin;
  // When set, the wall-clock limit of every run instead of budget plus margin.
  std::optional<std::chrono::milliseconds> limit;
  std::chrono::milliseconds approvalLimit = kDefaultApprovalLimit;
};

// Runs the helper once per call, checks its answer, and hands back one
// CallResult. `helperCommand` is the helper's path (inside the host bundle,
// an absolute path), followed by words of its own when it is a command line
// such as `pellucor-sim --desktop FILE`; the client adds nothing in request
// mode and exactly the approval argument in approval mode. `random` must
// outlive the client. A client holds no other state; calls may run at once
// from several threads when `random` allows it.
class HelperClient {
 public:
  HelperClient(std::vector<std::string> helperCommand, RandomSource& random, ClientOptions options = {});

  // A fresh request (new identifier and nonce) for `operation`, run and
  // verified. Never throws but for memory exhaustion.
  CallResult call(PellucorOperation operation, const Target& target, std::optional<PhysicalKey> key = std::nullopt,
                  const std::vector<KeyModifier>& modifiers = {}) const;

  // `request` exactly as given, run and verified.
  CallResult call(const Request& request) const;

  // Approval mode, run and verified.
  CallResult runApproval() const;

  // The wall-clock limit a run of `operation` gets.
  std::chrono::milliseconds limitFor(PellucorOperation operation) const noexcept;

 private:
  std::vector<std::string> command_;
  RandomSource& random_;
  ClientOptions options_;
};

}  // namespace pellucor::client
