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
inline constexpr ErrorSpec kReadTimeout{"read_timeout", "stdin did not close before the startup deadline"};
inline constexpr ErrorSpec kPollFailed{"read_failed", "stdin polling failed"};
inline constexpr ErrorSpec kReadFailed{"read_failed", "stdin read failed"};
inline constexpr ErrorSpec kRequestTooLarge{"request_too_large", "request exceeds 65536 bytes"};
inline constexpr ErrorSpec kSecondLine{"multiple_requests", "second request line is forbidden"};
inline constexpr ErrorSpec kTrailingInput{"multiple_requests", "trailing input after request line"};
inline constexpr ErrorSpec kUnterminated{"unterminated_request", "request must end with LF"};

inline constexpr ErrorSpec kUnknownField{"invalid_schema", "unknown or missing field in closed v2 schema"};
inline constexpr ErrorSpec kSchemaMismatch{"invalid_schema", "request does not match the closed v2 schema"};
inline constexpr ErrorSpec kProtocol{"invalid_protocol", "unsupported protocol version"};
inline constexpr ErrorSpec kRequestID{"invalid_request_id", "request_id must be UUIDv4"};
inline constexpr ErrorSpec kNonce{"invalid_nonce", "nonce must encode exactly 32 random bytes"};
inline constexpr ErrorSpec kTarget{"invalid_target", "target binding is incomplete"};
inline constexpr ErrorSpec kEmptyParams{"invalid_params", "operation takes empty params"};
inline constexpr ErrorSpec kCaptureParams{"invalid_params", "capture requires window_id and empty params"};
inline constexpr ErrorSpec kKeyParams{"invalid_params", "key requires exactly one key"};
inline constexpr ErrorSpec kHotkeyParams{"invalid_params",
                                         "hotkey requires one key and up to three distinct modifiers"};
}  // namespace intake_errors

}  // namespace pellucor
