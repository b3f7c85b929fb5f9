#pragma once

#include <span>
#include <string>
#include <string_view>

#include "wire/pellucor_error.hpp"

namespace pellucor {

// The two fixed invocations the helper accepts.
enum class InvocationMode { request, approvalControl };

inline constexpr std::string_view kApprovalArgument = "--approval-control=accessibility-and-screen-recording";

// An empty argument list (program name removed) is request mode; exactly the
// approval argument is approval mode; anything else fails with
// "invalid_invocation". The comparison is exact: no prefixes, trimming or case
// folding.
InvocationMode parseInvocationMode(std::span<const std::string> arguments);

namespace invocation_errors {
inline constexpr ErrorDefinition kInvalidInvocation{"invalid_invocation",
                                              "only the compiled approval argv enum is accepted"};
}

}  // namespace pellucor
