#include "client/verification.hpp"

#include <charconv>
#include <limits>
#include <utility>

#include "client/response_reading.hpp"
#include "client/result_checks.hpp"
#include "image/image_routines.hpp"
#include "platform/platform_error.hpp"
#include "text/text_equality.hpp"

namespace pellucor::client {
namespace {

constexpr std::string_view kFallbackRequestID = "00000000-0000-4000-8000-000000000000";
constexpr std::string_view kFallbackOperation = "parse";
constexpr std::string_view kInvalidInvocation = "invalid compiled invocation\n";
constexpr std::string_view kApprovalFailedPrefix = "approval_failed=";
constexpr std::string_view kApprovalInternalError = "internal_error";
constexpr int kStatusOK = 0;
constexpr int kStatusRefused = 64;
constexpr int kStatusFailed = 70;

CallResult& conclude(CallResult& result, Outcome outcome, std::string detail = {}) {
  result.outcome = outcome;
  result.detail = std::move(detail);
  return result;
}

// The outcome of a run that did not end with an exit status of its own, or
// nothing when it did.
std::optional<Outcome> runOutcome(CallResult& result) {
  const HelperRun& run = result.run;
  switch (run.end) {
    case RunEnd::exited: return std::nullopt;
    case RunEnd::signalled:
      conclude(result, Outcome::helperFailed, "ended by signal " + std::to_string(run.signalNumber));
      return result.outcome;
    case RunEnd::timedOut:
      conclude(result, Outcome::timedOut, "killed after " + std::to_string(run.elapsed.count()) + " ms");
      return result.outcome;
    case RunEnd::outputTooLarge: conclude(result, Outcome::outputTooLarge); return result.outcome;
    case RunEnd::spawnFailed: conclude(result, Outcome::spawnFailed, run.failure); return result.outcome;
    case RunEnd::failed: conclude(result, Outcome::clientFailure, run.failure); return result.outcome;
  }
  return Outcome::clientFailure;
}

bool isOneLine(std::string_view output) {
  return !output.empty() && output.size() <= kMaximumStandardOutput && output.find('\n') == output.size() - 1;
}

bool isRequestedTarget(const Request& request, const TargetObservation& target, std::string& whyNot) {
  const Target& asked = request.target;
  const auto differs = [&](std::string_view member) {
    whyNot = std::string(member) + " differs";
    return false;
  };
  if (target.pid != asked.pid) return differs("pid");
  if (!text::textEquals(target.bundleID, asked.bundleID)) return differs("bundle_id");
  if (!text::textEquals(target.surface, asked.surface)) return differs("surface");
  if (!text::textEquals(target.applicationID, asked.applicationID)) return differs("application_id");
  if (!text::textEquals(target.applicationName, asked.applicationName)) return differs("application_name");
  if (!text::textEquals(target.applicationRevision, asked.applicationRevision)) {
    return differs("application_revision");
  }
  switch (request.operation) {
    case PellucorOperation::observeAX:
    case PellucorOperation::key:
    case PellucorOperation::hotkey:
      if (target.windowID) return differs("window_id (present, not identified by this operation)");
      return true;
    case PellucorOperation::enumerateTargetWindows:
    case PellucorOperation::captureTargetWindow:
      if (!target.windowID) return differs("window_id (absent)");
      if (asked.windowID && *asked.windowID != *target.windowID) return differs("window_id");
      return true;
  }
  return differs("operation");
}

bool isFallback(const Response& response) {
  return !response.ok && response.operation == kFallbackOperation && response.requestID == kFallbackRequestID &&
         response.nonce.empty();
}

std::string describeError(const PellucorError& error) { return error.code + ": " + error.message; }

// The image of a capture whose result has its shape.
CallResult& verifyCapture(CallResult& result, const JSONValue& capture) {
  auto png = decodeCanonicalBase64(capture.find("png_base64")->asString());
  if (!png) return conclude(result, Outcome::pngBase64NotCanonical);
  result.passedChecks.push_back(checks::kCanonicalBase64);
  std::string digest;
  try {
    digest = sha256Hex(*png);
  } catch (const platform::PlatformError& failure) {
    return conclude(result, Outcome::clientFailure, failure.what());
  }
  if (digest != capture.find("png_sha256")->asString()) {
    return conclude(result, Outcome::pngDigestMismatch, "the PNG's digest is " + digest);
  }
  result.passedChecks.push_back(checks::kDigest);
  const auto size = pngHeaderSize(*png);
  if (!size) return conclude(result, Outcome::pngHeaderMismatch, "no PNG signature and IHDR");
  if (std::int64_t{size->width} != capture.find("width")->asInteger() ||
      std::int64_t{size->height} != capture.find("height")->asInteger()) {
    return conclude(result, Outcome::pngHeaderMismatch,
                    "the PNG is " + std::to_string(size->width) + " by " + std::to_string(size->height));
  }
  result.passedChecks.push_back(checks::kPNGHeader);
  result.png = std::move(*png);
  return conclude(result, Outcome::ok);
}

std::optional<ApprovalReport> parseApprovalLines(std::string_view output) {
  constexpr std::string_view kLines[] = {
      "accessibility_prompt_requested_once=true\n",
      "accessibility_status_advisory=",
      "screencapturekit_exact_window_id=",
      "permission_success_claimed=false\n",
      "full_quit_and_relaunch_required=true\n",
  };
  ApprovalReport report;
  const auto take = [&](std::string_view expected) {
    if (!output.starts_with(expected)) return false;
    output.remove_prefix(expected.size());
    return true;
  };
  const auto value = [&]() {
    const std::size_t end = output.find('\n');
    if (end == std::string_view::npos) return std::string_view();
    const std::string_view found = output.substr(0, end);
    output.remove_prefix(end + 1);
    return found;
  };
  if (!take(kLines[0]) || !take(kLines[1])) return std::nullopt;
  const std::string_view advisory = value();
  if (advisory != "true" && advisory != "false") return std::nullopt;
  report.accessibilityStatusAdvisory = advisory == "true";
  if (!take(kLines[2])) return std::nullopt;
  const std::string_view window = value();
  // Decimal without sign, padding or grouping.
  if (window.empty() || (window.size() > 1 && window.front() == '0')) return std::nullopt;
  const auto [end, error] = std::from_chars(window.data(), window.data() + window.size(), report.windowID);
  if (error != std::errc() || end != window.data() + window.size()) return std::nullopt;
  if (!take(kLines[3]) || !take(kLines[4]) || !output.empty()) return std::nullopt;
  return report;
}

bool isCode(std::string_view code) {
  if (code.empty()) return false;
  for (const char c : code) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
  }
  return true;
}

}  // namespace

CallResult verifyResponse(const Request& request, HelperRun run) {
  CallResult result;
  result.run = std::move(run);
  result.request = request;
  if (runOutcome(result)) {
    result.keyDownMayHaveBeenPosted = result.outcome == Outcome::timedOut &&
                                      (request.operation == PellucorOperation::key ||
                                       request.operation == PellucorOperation::hotkey);
    return result;
  }
  const int status = result.run.exitStatus;
  const std::string& output = result.run.standardOutput;
  if (status != kStatusOK && status != kStatusRefused) {
    return conclude(result, Outcome::helperFailed, "exit status " + std::to_string(status));
  }
  result.passedChecks.push_back(checks::kExitStatus);
  if (status == kStatusRefused && output.empty() && result.run.standardError == kInvalidInvocation) {
    return conclude(result, Outcome::invocationRefused);
  }
  if (output.empty()) return conclude(result, Outcome::noResponse);
  if (!isOneLine(output)) return conclude(result, Outcome::notOneLine);
  result.passedChecks.push_back(checks::kOneLine);

  std::string whyNot;
  const auto value = readStrictJSON(std::string_view(output).substr(0, output.size() - 1), whyNot);
  if (!value) return conclude(result, Outcome::notJSON, whyNot);
  result.passedChecks.push_back(checks::kStrictJSON);
  result.response = decodeResponse(*value, whyNot);
  if (!result.response) return conclude(result, Outcome::malformedResponse, whyNot);
  result.passedChecks.push_back(checks::kResponseRecord);
  const Response& response = *result.response;

  if (response.ok != (status == kStatusOK)) {
    return conclude(result, Outcome::statusMismatch,
                    "exit status " + std::to_string(status) + " with ok " + (response.ok ? "true" : "false"));
  }
  result.passedChecks.push_back(checks::kStatusAgrees);
  if (response.protocolVersion != kProtocolVersion) return conclude(result, Outcome::protocolMismatch);
  result.passedChecks.push_back(checks::kProtocol);
  if (isFallback(response)) return conclude(result, Outcome::requestRejected, describeError(*response.error));
  if (response.requestID != request.requestID) return conclude(result, Outcome::requestIDMismatch);
  result.passedChecks.push_back(checks::kRequestID);
  if (response.nonce != request.nonce) return conclude(result, Outcome::nonceMismatch);
  result.passedChecks.push_back(checks::kNonce);
  if (response.operation != wireName(request.operation)) return conclude(result, Outcome::operationMismatch);
  result.passedChecks.push_back(checks::kOperation);
  if (response.target) {
    if (!isRequestedTarget(request, *response.target, whyNot)) {
      return conclude(result, Outcome::targetMismatch, whyNot);
    }
    result.passedChecks.push_back(checks::kTarget);
  }
  if (!response.ok) return conclude(result, Outcome::helperError, describeError(*response.error));

  if (!hasResultShape(request.operation, *response.result, *response.target, whyNot)) {
    return conclude(result, Outcome::resultMismatch, whyNot);
  }
  result.passedChecks.push_back(checks::kResultShape);
  if (request.operation == PellucorOperation::captureTargetWindow) return verifyCapture(result, *response.result);
  return conclude(result, Outcome::ok);
}

CallResult verifyApproval(HelperRun run) {
  CallResult result;
  result.run = std::move(run);
  if (runOutcome(result)) return result;
  const int status = result.run.exitStatus;
  const std::string& output = result.run.standardOutput;
  const std::string& error = result.run.standardError;
  if (status != kStatusOK && status != kStatusRefused && status != kStatusFailed) {
    return conclude(result, Outcome::helperFailed, "exit status " + std::to_string(status));
  }
  if (status == kStatusOK) {
    result.approval = error.empty() ? parseApprovalLines(output) : std::nullopt;
    if (!result.approval) return conclude(result, Outcome::malformedApproval, "not the five lines");
    result.passedChecks.push_back(checks::kApprovalLines);
    return conclude(result, Outcome::ok);
  }
  if (status == kStatusRefused && output.empty() && error == kInvalidInvocation) {
    return conclude(result, Outcome::invocationRefused);
  }
  const std::string_view line(error);
  const bool isRefusalLine = output.empty() && line.starts_with(kApprovalFailedPrefix) && line.ends_with('\n') &&
                             isCode(line.substr(kApprovalFailedPrefix.size(),
                                                line.size() - kApprovalFailedPrefix.size() - 1));
  if (!isRefusalLine) return conclude(result, Outcome::malformedApproval, "not one refusal line");
  const std::string code(line.substr(kApprovalFailedPrefix.size(), line.size() - kApprovalFailedPrefix.size() - 1));
  // A platform failure is internal_error with 70; every refusal the helper
  // detected is its code with 64.
  if ((code == kApprovalInternalError) != (status == kStatusFailed)) {
    return conclude(result, Outcome::statusMismatch, "exit status " + std::to_string(status) + " with " + code);
  }
  result.passedChecks.push_back(checks::kRefusalLine);
  result.approvalFailureCode = code;
  return conclude(result, Outcome::approvalRefused, code);
}

}  // namespace pellucor::client
