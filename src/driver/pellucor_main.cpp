#include "driver/pellucor_main.hpp"

#include <unistd.h>

#include <csignal>
#include <cerrno>
#include <exception>
#include <memory>
#include <string>
#include <utility>

#include "approval/approval_controlling.hpp"
#include "driver/invocation_mode.hpp"
#include "driver/request_executor.hpp"
#include "intake/protocol_parser.hpp"
#include "platform/descriptor_wait.hpp"
#include "wire/json_encoder.hpp"

namespace pellucor {
namespace {

constexpr int kStandardOutput = 1;
constexpr int kStandardError = 2;
constexpr std::string_view kInvalidInvocationLine = "invalid compiled invocation\n";
constexpr std::string_view kApprovalFailedPrefix = "approval_failed=";
constexpr ErrorDefinition kIntakeInternal{"internal_error", "request failed closed"};

ProcessOutput single(int fd, std::string bytes, int status) {
  return ProcessOutput{{{fd, std::move(bytes)}}, status};
}

Response fallbackResponse(PellucorError error) {
  Response response;
  response.requestID = PellucorMain::kFallbackRequestID;
  response.operation = PellucorMain::kFallbackOperation;
  response.error = std::move(error);
  return response;
}

// The answer to a decoded request whose system objects could not be built:
// the request's own identifiers, no target and no time spent on it.
Response compositionFailure(const Request& request, PellucorError error) {
  Response response;
  response.requestID = request.requestID;
  response.nonce = request.nonce;
  response.operation = std::string(wireName(request.operation));
  response.error = std::move(error);
  return response;
}

ProcessOutput runRequestMode(int inputFd, PellucorComponents& components) {
  Request request;
  try {
    const std::string line =
        ProtocolParser::readOneRequest(inputFd, PellucorMain::kReadDeadlineSeconds, components.clock());
    request = ProtocolParser::parse(line);
  } catch (const PellucorError& error) {
    return PellucorMain::emit(fallbackResponse(error));
  } catch (...) {
    return PellucorMain::emit(fallbackResponse(PellucorError(kIntakeInternal)));
  }
  // The system objects are built behind the same boundary as the work they
  // do: a failure to build them is answered as the executor answers a failure
  // of the operation, never left to end the process without output.
  std::unique_ptr<ProcessIdentityValidating> identity;
  std::unique_ptr<NativeOperating> native;
  try {
    identity = components.makeIdentityValidator();
    native = components.makeNativeOperations();
  } catch (const PellucorError& error) {
    return PellucorMain::emit(compositionFailure(request, error));
  } catch (...) {
    return PellucorMain::emit(compositionFailure(request, PellucorError(executor_errors::kOperationFailed)));
  }
  const RequestExecutor executor(*identity, *native, components.clock());
  return PellucorMain::emit(executor.execute(request));
}

std::string approvalLines(const PermissionApprovalResult& result) {
  std::string lines = "accessibility_prompt_requested_once=true\n";
  lines += "accessibility_status_advisory=";
  lines += result.accessibilityTrusted ? "true\n" : "false\n";
  lines += "screencapturekit_exact_window_id=" + std::to_string(result.windowID) + "\n";
  lines += "permission_success_claimed=false\n";
  lines += "full_quit_and_relaunch_required=true\n";
  return lines;
}

ProcessOutput runApprovalMode(PellucorComponents& components) {
  try {
    components.makeIdentityValidator()->validateSelfAndAncestry();
    const PermissionApprovalResult result = components.makeApprovalControl()->run();
    return single(kStandardOutput, approvalLines(result), PellucorMain::kExitSuccess);
  } catch (const PellucorError& error) {
    return single(kStandardError, std::string(kApprovalFailedPrefix) + error.code + "\n",
                   PellucorMain::kExitRefused);
  } catch (...) {
    return single(kStandardError, std::string(kApprovalFailedPrefix) + "internal_error\n",
                   PellucorMain::kExitInternal);
  }
}

// Writes every byte of `bytes`: a write interrupted by a signal is repeated,
// a short write goes on with the rest, and a descriptor that is not ready (a
// host may hand over a non-blocking pipe or socket) is waited for. Any other
// failure, the reader having gone for one, ends the writing unreported, since
// there is nowhere left to report it.
void writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (platform::waitForDescriptor(fd, platform::DescriptorDirection::writable, -1) ==
          platform::DescriptorWait::failed) {
        return;
      }
      continue;
    }
    return;
  }
}

}  // namespace

ProcessOutput PellucorMain::emit(const Response& response) {
  std::string encoded;
  try {
    encoded = json::encode(response);
  } catch (...) {
    return ProcessOutput{{}, kExitInternal};
  }
  if (encoded.size() > RequestExecutor::kResponseCeiling) return ProcessOutput{{}, kExitInternal};
  ProcessOutput output;
  output.writes.push_back({kStandardOutput, std::move(encoded)});
  output.writes.push_back({kStandardOutput, "\n"});
  output.status = response.ok ? kExitSuccess : kExitRefused;
  return output;
}

ProcessOutput PellucorMain::run(const std::vector<std::string>& arguments, int inputFd,
                                PellucorComponents& components) {
  try {
    InvocationMode mode;
    try {
      mode = parseInvocationMode(arguments);
    } catch (const PellucorError&) {
      return single(kStandardError, std::string(kInvalidInvocationLine), kExitRefused);
    }
    switch (mode) {
      case InvocationMode::request:
        return runRequestMode(inputFd, components);
      case InvocationMode::approvalControl:
        return runApprovalMode(components);
    }
  } catch (...) {
    // Only memory exhaustion can reach here; nothing has been written yet.
  }
  return ProcessOutput{{}, kExitInternal};
}

void PellucorMain::main(int argc, const char* const* argv, PellucorComponents& components) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  const ProcessOutput output = run(arguments, STDIN_FILENO, components);
  // A host that has already closed its end of a stream must not turn the
  // write into a kill by SIGPIPE: the write then simply fails, unreported, and
  // the process still ends with the status its outcome fixes.
  ::signal(SIGPIPE, SIG_IGN);
  for (const auto& write : output.writes) writeAll(write.fd, write.bytes);
  ::_exit(output.status);
}

}  // namespace pellucor
