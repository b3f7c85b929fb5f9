#pragma once

#include <cstddef>
#include <string>

namespace pellucor::testing {

// The texts the entry is fed and must write, shared by the in-process tests
// and the tests that run the entry as a process.

inline constexpr const char* kApprovalArgument = "--approval-control=accessibility-and-screen-recording";

inline constexpr const char* kKeyRequestLine =
    R"({"protocol":"zor-vane.pellucor/v2","request_id":"6f1c2a4e-8b3d-4f7a-9c2e-1d5b7a9e3c40",)"
    R"("nonce":"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA","operation":"key","target":{"pid":501,)"
    R"("bundle_id":"com.brevant.zorvane","frontmost_required":true,"surface":"plugin.application",)"
    R"("application_id":"0123456789abcdef01234567","application_name":"Example","application_revision":"1.0"},)"
    R"("params":{"key":"a"}})";

// The response to kKeyRequestLine when the native operation returns the
// example execution, in no time.
inline constexpr const char* kKeySuccessResponse =
    R"({"duration_ms":0,"nonce":"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA","ok":true,"operation":"key",)"
    R"("protocol":"zor-vane.pellucor/v2","request_id":"6f1c2a4e-8b3d-4f7a-9c2e-1d5b7a9e3c40",)"
    R"("result":{"path":"/tmp/a b","posted":true},"target":{"application_id":"0123456789abcdef01234567",)"
    R"("application_name":"Example","application_revision":"1.0","bundle_id":"com.brevant.zorvane",)"
    R"("pid":501,"surface":"plugin.application","window_id":12}})";

// The length of the result path in the entry harness's "large" script: a
// response of several mebibytes, far beyond what a pipe holds at once.
inline constexpr std::size_t kLargeResultPathBytes = 6 * 1024 * 1024;

// The response to kKeyRequestLine when the native operation refuses with
// "wrong_frontmost" / "target is not frontmost".
inline constexpr const char* kKeyRefusedResponse =
    R"({"duration_ms":0,"error":{"code":"wrong_frontmost","message":"target is not frontmost",)"
    R"("retryable":false},"nonce":"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA","ok":false,)"
    R"("operation":"key","protocol":"zor-vane.pellucor/v2",)"
    R"("request_id":"6f1c2a4e-8b3d-4f7a-9c2e-1d5b7a9e3c40"})";

// The response to a request that never got past intake.
inline std::string fallbackResponse(const std::string& code, const std::string& message) {
  return R"({"duration_ms":0,"error":{"code":")" + code + R"(","message":")" + message +
         R"(","retryable":false},"nonce":"","ok":false,"operation":"parse","protocol":"zor-vane.pellucor/v2",)"
         R"("request_id":"00000000-0000-4000-8000-000000000000"})";
}

inline std::string approvalLines(bool trusted) {
  return std::string("accessibility_prompt_requested_once=true\naccessibility_status_advisory=") +
         (trusted ? "true" : "false") +
         "\nscreencapturekit_exact_window_id=4294967295\npermission_success_claimed=false\n"
         "full_quit_and_relaunch_required=true\n";
}

}  // namespace pellucor::testing
