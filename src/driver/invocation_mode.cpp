#include "driver/invocation_mode.hpp"

namespace pellucor {

InvocationMode parseInvocationMode(std::span<const std::string> arguments) {
  if (arguments.empty()) return InvocationMode::request;
  if (arguments.size() == 1 && arguments[0] == kApprovalArgument) return InvocationMode::approvalControl;
  fail(invocation_errors::kInvalidInvocation);
}

}  // namespace pellucor
