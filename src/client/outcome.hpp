#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pellucor::client {

// How one run of the helper ended, as the client judged it. The first group
// are answers the host acts on; the rest say why an answer cannot be trusted
// or was never had. Every value has a fixed name (lower snake case, for logs
// and the command-line tool) and a short fixed explanation.
enum class Outcome : std::uint8_t {
  // Answers.
  ok,                 // the helper answered ok and every check passed
  helperError,        // a checked response with ok false and its error
  requestRejected,    // the helper's fallback response: it could not read or decode the request
  approvalRefused,    // approval mode: "approval_failed=<code>"
  invocationRefused,  // "invalid compiled invocation": the helper refused its argument vector
  // The run itself.
  spawnFailed,    // the helper could not be started
  timedOut,       // the wall-clock limit passed; the helper was killed and reaped
  outputTooLarge, // more than 16 MiB and a line feed on standard output; killed and reaped
  helperFailed,   // exit status 70 or any other than 0 and 64, or ended by a signal
  clientFailure,  // the client itself failed (random source, pipes, waiting, digest)
  // The response line.
  noResponse,         // exit status 0 or 64 and nothing on standard output
  notOneLine,         // standard output was not exactly one line ending in a line feed
  notJSON,            // the line is not strict JSON
  malformedResponse,  // not the response record, or members present or absent against ok
  statusMismatch,     // the exit status disagrees with ok
  protocolMismatch,   // another protocol than zor-vane.pellucor/v2
  requestIDMismatch,  // request_id is not the request's
  nonceMismatch,      // nonce is not the request's
  operationMismatch,  // operation is not the request's
  targetMismatch,     // the verified target is not the requested one
  resultMismatch,     // the result does not have the operation's shape
  // A capture's image.
  pngBase64NotCanonical,  // png_base64 is not canonical standard Base64
  pngDigestMismatch,      // png_sha256 is not the SHA-256 of the PNG
  pngHeaderMismatch,      // no PNG signature and IHDR, or its size is not width by height
  // Approval mode.
  malformedApproval,  // approval mode's output is neither the five lines nor one refusal line
};

inline constexpr std::size_t kOutcomeCount = 25;
static_assert(static_cast<std::size_t>(Outcome::malformedApproval) + 1 == kOutcomeCount);

// "ok", "helper_error", ...: the value's name in lower snake case.
std::string_view outcomeName(Outcome outcome) noexcept;
// One fixed sentence saying what the value means.
std::string_view outcomeExplanation(Outcome outcome) noexcept;

}  // namespace pellucor::client
