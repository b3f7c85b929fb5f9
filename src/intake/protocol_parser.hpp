#pragma once

#include <string>
#include <string_view>

#include "platform/clock.hpp"
#include "wire/pellucor_error.hpp"
#include "wire/records.hpp"

namespace pellucor {

// Request intake: the only code that reads standard input in request mode, and
// the closed-schema decoding of the one request line.
struct ProtocolParser {
  static constexpr std::size_t kMaximumRequestBytes = 65536;

  // Reads everything the writer sends on `fd` until it closes its end, and
  // returns the single request line without its line feed. The line must end
  // with LF and may be followed only by tabs, carriage returns and spaces; at
  // most 65536 bytes may arrive in all, and the writer must close within
  // `deadlineSeconds` of wall-clock time (taken from `clock`); a window that
  // is not a finite number of seconds above zero and below a day counts as
  // already over. Waits for input with a readiness call that bounds every
  // kind of descriptor (pipe, socket, file, terminal, device), reads one byte
  // per read(2) call and retries only EINTR.
  // Fails with a PellucorError and nothing else; on failure nothing read is
  // returned.
  static std::string readOneRequest(int fd, double deadlineSeconds, const platform::Clock& clock);

  // Decodes one request line against the closed version-2 schema: size, strict
  // scan, member-name sets, typed decoding, then the field rules in a fixed
  // order. Fails with a PellucorError for the first violation.
  static Request parse(std::string_view bytes);
};

namespace intake_errors {
inline constexpr ErrorDefinition kReadTimeout{"read_timeout", "stdin did not close before the startup deadline"};
inline constexpr ErrorDefinition kPollFailed{"read_failed", "stdin polling failed"};
inline constexpr ErrorDefinition kReadFailed{"read_failed", "stdin read failed"};
inline constexpr ErrorDefinition kRequestTooLarge{"request_too_large", "request exceeds 65536 bytes"};
inline constexpr ErrorDefinition kSecondLine{"multiple_requests", "second request line is forbidden"};
inline constexpr ErrorDefinition kTrailingInput{"multiple_requests", "trailing input after request line"};
inline constexpr ErrorDefinition kUnterminated{"unterminated_request", "request must end with LF"};

inline constexpr ErrorDefinition kUnknownField{"invalid_schema", "unknown or missing field in closed v2 schema"};
inline constexpr ErrorDefinition kSchemaMismatch{"invalid_schema", "request does not match the closed v2 schema"};
inline constexpr ErrorDefinition kProtocol{"invalid_protocol", "unsupported protocol version"};
inline constexpr ErrorDefinition kRequestID{"invalid_request_id", "request_id must be UUIDv4"};
inline constexpr ErrorDefinition kNonce{"invalid_nonce", "nonce must encode exactly 32 random bytes"};
inline constexpr ErrorDefinition kTarget{"invalid_target", "target binding is incomplete"};
inline constexpr ErrorDefinition kEmptyParams{"invalid_params", "operation takes empty params"};
inline constexpr ErrorDefinition kCaptureParams{"invalid_params", "capture requires window_id and empty params"};
inline constexpr ErrorDefinition kKeyParams{"invalid_params", "key requires exactly one key"};
inline constexpr ErrorDefinition kHotkeyParams{"invalid_params",
                                         "hotkey requires one key and up to three distinct modifiers"};
}  // namespace intake_errors

}  // namespace pellucor
