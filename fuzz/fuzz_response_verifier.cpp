// Feeds arbitrary bytes to the client's verifier as a helper's standard
// output: the first byte chooses the operation of a fixed request, the exit
// status (0 or 64) and the mode (request or approval), the rest is the output.
// Beyond the sanitizers' own checks it asserts that:
// - nothing escapes the verifier, and the run comes back unchanged;
// - an answer judged ok holds everything the verdict promises: the echoed
//   fields, the target, and for a capture a PNG whose digest and header
//   agree with the result;
// - such an answer written again by the helper's own encoder is judged ok
//   again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "client/result_checks.hpp"
#include "client/verification.hpp"
#include "image/image_routines.hpp"
#include "wire/json_encoder.hpp"

namespace {

using namespace pellucor;
using namespace pellucor::client;

void check(bool condition) {
  if (!condition) std::abort();
}

Request fixedRequest(PellucorOperation operation) {
  Request request;
  request.requestID = "6f1c2b8e-3d4a-4b5c-9e7f-0a1b2c3d4e5f";
  request.nonce = "i_YgZoZv0LYhMVPJaYqWBb_AgLq0fDxmsRLPGaVOy2E";
  request.operation = operation;
  request.target.pid = 5021;
  request.target.bundleID = "com.brevant.zorvane";
  request.target.frontmostRequired = true;
  if (operation == PellucorOperation::captureTargetWindow) request.target.windowID = 8841;
  request.target.surface = "plugin.application";
  request.target.applicationID = "5f2c9a7e41b08d3c6e9f1a24";
  request.target.applicationName = "Ledgerline";
  request.target.applicationRevision = "2024.11.3";
  return request;
}

HelperRun exited(int status, std::string output) {
  HelperRun run;
  run.end = RunEnd::exited;
  run.exitStatus = status;
  run.standardOutput = std::move(output);
  return run;
}

void checkOk(const Request& request, const CallResult& result) {
  check(result.response.has_value() && result.response->ok && result.response->target.has_value());
  check(result.response->requestID == request.requestID && result.response->nonce == request.nonce);
  check(result.response->operation == wireName(request.operation));
  check(result.response->result.has_value());
  if (request.operation == PellucorOperation::captureTargetWindow) {
    const JSONValue& capture = *result.response->result;
    check(sha256Hex(result.png) == capture.find("png_sha256")->asString());
    const auto size = pngHeaderSize(result.png);
    check(size.has_value() && std::int64_t{size->width} == capture.find("width")->asInteger());
  } else {
    check(result.png.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t choice = data[0];
  const std::string output(reinterpret_cast<const char*>(data + 1), size - 1);
  const int status = (choice & 0x08) != 0 ? 64 : 0;

  if ((choice & 0x10) != 0) {
    const CallResult approval = verifyApproval(exited(status, output));
    check(approval.run.standardOutput == output);
    check((approval.outcome == Outcome::ok) == approval.approval.has_value());
    return 0;
  }

  const Request request = fixedRequest(static_cast<PellucorOperation>((choice & 0x07) % 5));
  const CallResult result = verifyResponse(request, exited(status, output));
  check(result.run.standardOutput == output);
  check(static_cast<std::size_t>(result.outcome) < kOutcomeCount);
  if (result.outcome != Outcome::ok) return 0;
  checkOk(request, result);
  const CallResult again = verifyResponse(request, exited(0, json::encode(*result.response) + "\n"));
  check(again.outcome == Outcome::ok);
  return 0;
}
