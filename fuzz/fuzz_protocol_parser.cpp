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

#include "intake/protocol_parser.hpp"
#include "intake/strict_json_scanner.hpp"
#include "wire/json_encoder.hpp"

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

std::string requestLine(const Request& request) {
  JSONValue::Object target{
      {"pid", JSONValue(std::int64_t{request.target.pid})},
      {"bundle_id", JSONValue(request.target.bundleID)},
      {"frontmost_required", JSONValue(request.target.frontmostRequired)},
      {"surface", JSONValue(request.target.surface)},
      {"application_id", JSONValue(request.target.applicationID)},
      {"application_name", JSONValue(request.target.applicationName)},
      {"application_revision", JSONValue(request.target.applicationRevision)},
  };
  if (request.target.windowID) target.emplace("window_id", JSONValue(std::int64_t{*request.target.windowID}));
  JSONValue::Object params;
  if (request.key) params.emplace("key", JSONValue(wireName(*request.key)));
  if (request.operation == PellucorOperation::hotkey) {
    JSONValue::Array modifiers;
    for (const auto modifier : request.modifiers) modifiers.emplace_back(wireName(modifier));
    params.emplace("modifiers", JSONValue(std::move(modifiers)));
  }
  const JSONValue envelope(JSONValue::Object{
      {"protocol", JSONValue(kProtocolVersion)},
      {"request_id", JSONValue(request.requestID)},
      {"nonce", JSONValue(request.nonce)},
      {"operation", JSONValue(wireName(request.operation))},
      {"target", JSONValue(std::move(target))},
      {"params", JSONValue(std::move(params))},
  });
  return json::encode(envelope);
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
