#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/child_process.hpp"
#include "client/outcome.hpp"
#include "wire/records.hpp"

namespace pellucor::client {

// The five lines of a successful approval run. The three constant lines
// ("accessibility_prompt_requested_once=true", "permission_success_claimed=false",
// "full_quit_and_relaunch_required=true") are checked, not kept.
struct ApprovalReport {
  bool accessibilityStatusAdvisory = false;  // trusted at the moment of asking; advisory only
  std::uint32_t windowID = 0;                 // the window that was captured once
};

// Everything the client knows about one call: the verdict, the raw run
// (bytes and status exactly as they came, whatever the verdict), what could
// be decoded, and the checks that passed before the verdict, in order.
struct CallResult {
  Outcome outcome = Outcome::clientFailure;
  // What exactly failed; for helperError and requestRejected the helper's
  // code and message; for approvalRefused its code.
  std::string detail;
  std::vector<std::string_view> passedChecks;
  HelperRun run;
  std::optional<Request> request;     // request mode
  std::optional<Response> response;   // once the line decoded as a response record
  std::string png;                    // a verified capture's PNG bytes
  std::optional<ApprovalReport> approval;
  std::string approvalFailureCode;    // approvalRefused
  // A key or hotkey run that was killed at its limit may have posted a
  // key-down (and its key-up) before it stalled.
  bool keyDownMayHaveBeenPosted = false;
};

// The checks in the order they run, by the names passedChecks holds.
namespace checks {
inline constexpr std::string_view kExitStatus = "exit status is 0 or 64";
inline constexpr std::string_view kOneLine = "one line ending in a line feed";
inline constexpr std::string_view kStrictJSON = "strict JSON";
inline constexpr std::string_view kResponseRecord = "response record, members as ok requires";
inline constexpr std::string_view kStatusAgrees = "exit status agrees with ok";
inline constexpr std::string_view kProtocol = "protocol is zor-vane.pellucor/v2";
inline constexpr std::string_view kRequestID = "request_id echoed";
inline constexpr std::string_view kNonce = "nonce echoed";
inline constexpr std::string_view kOperation = "operation echoed";
inline constexpr std::string_view kTarget = "target is the requested one";
inline constexpr std::string_view kResultShape = "result has the operation's shape";
inline constexpr std::string_view kCanonicalBase64 = "png_base64 is canonical Base64";
inline constexpr std::string_view kDigest = "png_sha256 is the PNG's digest";
inline constexpr std::string_view kPNGHeader = "PNG header is width by height";
inline constexpr std::string_view kApprovalLines = "the five approval lines";
inline constexpr std::string_view kRefusalLine = "one refusal line, status agreeing with it";
}  // namespace checks

// Judges one request-mode run of `request`. Never throws but for memory
// exhaustion; every failure is an outcome, and the run is kept whole.
CallResult verifyResponse(const Request& request, HelperRun run);

// Judges one approval-mode run. Never throws but for memory exhaustion.
CallResult verifyApproval(HelperRun run);

}  // namespace pellucor::client
