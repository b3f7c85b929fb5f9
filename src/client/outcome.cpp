#include "client/outcome.hpp"

namespace pellucor::client {

std::string_view outcomeName(Outcome outcome) noexcept {
  switch (outcome) {
    case Outcome::ok: return "ok";
    case Outcome::helperError: return "helper_error";
    case Outcome::requestRejected: return "request_rejected";
    case Outcome::approvalRefused: return "approval_refused";
    case Outcome::invocationRefused: return "invocation_refused";
    case Outcome::spawnFailed: return "spawn_failed";
    case Outcome::timedOut: return "timed_out";
    case Outcome::outputTooLarge: return "output_too_large";
    case Outcome::helperFailed: return "helper_failed";
    case Outcome::clientFailure: return "client_failure";
    case Outcome::noResponse: return "no_response";
    case Outcome::notOneLine: return "not_one_line";
    case Outcome::notJSON: return "not_json";
    case Outcome::malformedResponse: return "malformed_response";
    case Outcome::statusMismatch: return "status_mismatch";
    case Outcome::protocolMismatch: return "protocol_mismatch";
    case Outcome::requestIDMismatch: return "request_id_mismatch";
    case Outcome::nonceMismatch: return "nonce_mismatch";
    case Outcome::operationMismatch: return "operation_mismatch";
    case Outcome::targetMismatch: return "target_mismatch";
    case Outcome::resultMismatch: return "result_mismatch";
    case Outcome::pngBase64NotCanonical: return "png_base64_not_canonical";
    case Outcome::pngDigestMismatch: return "png_digest_mismatch";
    case Outcome::pngHeaderMismatch: return "png_header_mismatch";
    case Outcome::malformedApproval: return "malformed_approval";
  }
  return "unknown";
}

std::string_view outcomeExplanation(Outcome outcome) noexcept {
  switch (outcome) {
    case Outcome::ok: return "the helper answered ok and every check passed";
    case Outcome::helperError: return "the helper answered with an error; the response is checked and carries it";
    case Outcome::requestRejected: return "the helper could not read or decode the request (its fallback response)";
    case Outcome::approvalRefused: return "approval mode was refused; the refusal code is kept";
    case Outcome::invocationRefused: return "the helper refused its argument vector (invalid compiled invocation)";
    case Outcome::spawnFailed: return "the helper could not be started";
    case Outcome::timedOut: return "the wall-clock limit passed; the helper was killed and reaped";
    case Outcome::outputTooLarge:
      return "the helper wrote more than 16 MiB and a line feed; it was killed and reaped";
    case Outcome::helperFailed: return "the helper failed: exit status 70, another unexpected status, or a signal";
    case Outcome::clientFailure: return "the client itself failed (random source, pipes, waiting or digest)";
    case Outcome::noResponse: return "the helper exited with 0 or 64 but wrote no response";
    case Outcome::notOneLine: return "standard output was not exactly one line ending in a line feed";
    case Outcome::notJSON: return "the response line is not strict JSON";
    case Outcome::malformedResponse:
      return "the response is not the response record, or has members present or absent against ok";
    case Outcome::statusMismatch: return "the exit status disagrees with ok";
    case Outcome::protocolMismatch: return "the response names another protocol";
    case Outcome::requestIDMismatch: return "the response's request_id is not the request's";
    case Outcome::nonceMismatch: return "the response's nonce is not the request's";
    case Outcome::operationMismatch: return "the response's operation is not the request's";
    case Outcome::targetMismatch: return "the verified target is not the requested one";
    case Outcome::resultMismatch: return "the result does not have the operation's shape";
    case Outcome::pngBase64NotCanonical: return "png_base64 is not canonical standard Base64";
    case Outcome::pngDigestMismatch: return "png_sha256 is not the SHA-256 of the PNG";
    case Outcome::pngHeaderMismatch: return "the PNG has no valid header, or its size is not width by height";
    case Outcome::malformedApproval: return "approval mode wrote neither the five lines nor one refusal line";
  }
  return "unknown outcome";
}

}  // namespace pellucor::client
