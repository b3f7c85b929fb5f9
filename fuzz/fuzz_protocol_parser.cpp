// Feeds arbitrary bytes to the request decoder. Beyond the sanitizers' own
// checks it asserts that:
// - nothing but a PellucorError escapes, and every error is one of the fixed
//   code and message pairs of the scanner and the decoder, never retryable;
// - a decoded request honours every field rule the decoder promises;
// - the request written back as the line a well-behaved host would send
//   decodes to an equal request, and writing that one again gives the same
//   bytes (the encoding is a fixed point).

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "client/request_building.hpp"
#include "intake/protocol_parser.hpp"
#include "intake/strict_json_scanner.hpp"

namespace {

using namespace pellucor;

void check(bool condition) {
  if (!condition) std::abort();
}

constexpr std::array kKnownErrors = {
    scanner_errors::kNotUtf8,          scanner_errors::kMalformed,      scanner_errors::kTrailingData,
    scanner_errors::kTooDeep,          scanner_errors::kTooManyMembers, scanner_errors::kDuplicateKey,
    scanner_errors::kStringTooLong,    scanner_errors::kNonInteger,     intake_errors::kRequestTooLarge,
    intake_errors::kUnknownField,      intake_errors::kSchemaMismatch,  intake_errors::kProtocol,
    intake_errors::kRequestID,         intake_errors::kNonce,           intake_errors::kTarget,
    intake_errors::kEmptyParams,       intake_errors::kCaptureParams,   intake_errors::kKeyParams,
    intake_errors::kHotkeyParams,
};

bool isKnown(const PellucorError& error) {
  for (const auto& known : kKnownErrors) {
    if (error.code == known.code && error.message == known.message) return !error.retryable;
  }
  return false;
}

// The request as the line a well-behaved host sends, without its line feed:
// the client library's own encoding.
std::string requestLine(const Request& request) {
  std::string line = client::requestLine(request);
  check(!line.empty() && line.back() == '\n');
  line.pop_back();
  return line;
}

void checkFieldRules(const Request& request) {
  check(request.requestID.size() == 36);
  check(request.nonce.size() == 43);
  check(request.target.pid >= 1);
  check(request.target.frontmostRequired);
  check(request.target.surface == "plugin.application");
  check(request.target.applicationID.size() == 24);
  check(!request.target.applicationName.empty() && request.target.applicationName.size() <= 255);
  check(!request.target.applicationRevision.empty() && request.target.applicationRevision.size() <= 256);
  const bool keyed = request.operation == PellucorOperation::key || request.operation == PellucorOperation::hotkey;
  check(request.key.has_value() == keyed);
  check(request.operation == PellucorOperation::hotkey || request.modifiers.empty());
  check(request.modifiers.size() <= 3);
  if (request.operation == PellucorOperation::captureTargetWindow) check(request.target.windowID.has_value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Request request;
  try {
    request = ProtocolParser::parse(bytes);
  } catch (const PellucorError& error) {
    check(isKnown(error));
    return 0;
  }
  check(size <= ProtocolParser::kMaximumRequestBytes);
  checkFieldRules(request);

  const std::string line = requestLine(request);
  check(line.size() <= size);
  const Request again = ProtocolParser::parse(line);
  check(again == request);
  check(requestLine(again) == line);
  return 0;
}
