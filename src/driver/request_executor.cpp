#include "driver/request_executor.hpp"

#include <exception>

#include "wire/json_encoder.hpp"

namespace pellucor {
namespace {

using namespace executor_errors;

// Whole milliseconds of wall-clock time since `start`, truncated toward zero;
// never negative, even when the clock was set back.
std::int64_t elapsedMilliseconds(std::int64_t start, const platform::Clock& clock) {
  const std::int64_t elapsed = (clock.wallNanoseconds() - start) / 1'000'000;
  return elapsed < 0 ? 0 : elapsed;
}

}  // namespace

double RequestExecutor::budgetSeconds(PellucorOperation operation) noexcept {
  switch (operation) {
    case PellucorOperation::observeAX: return 5;
    case PellucorOperation::enumerateTargetWindows: return 3;
    case PellucorOperation::captureTargetWindow: return 7;
    case PellucorOperation::key: return 1;
    case PellucorOperation::hotkey: return 1;
  }
  return 0;
}

Response RequestExecutor::execute(const Request& request) const {
  const std::int64_t start = clock_.wallNanoseconds();
  const MonotonicDeadline deadline(budgetSeconds(request.operation),
                                   [&clock = clock_] { return clock.uptimeNanoseconds(); });

  Response response;
  response.requestID = request.requestID;
  response.nonce = request.nonce;
  response.operation = std::string(wireName(request.operation));

  try {
    identity_.validateSelfAndAncestry();
    deadline.check();
    NativeExecution execution = [&] {
      switch (request.operation) {
        case PellucorOperation::observeAX:
          return native_.observeAX(request.target, deadline);
        case PellucorOperation::enumerateTargetWindows:
          return native_.enumerateWindows(request.target, deadline);
        case PellucorOperation::captureTargetWindow:
          return native_.captureWindow(request.target, deadline);
        case PellucorOperation::key:
        case PellucorOperation::hotkey:
          if (!request.key) fail(kKeyMissing);
          return native_.postKey(*request.key, request.modifiers, request.target, deadline);
      }
      fail(kOperationFailed);
    }();
    response.ok = true;
    response.target = std::move(execution.observation);
    response.result = std::move(execution.result);
  } catch (const PellucorError& error) {
    response.error = error;
  } catch (...) {
    response.error = PellucorError(kOperationFailed);
  }
  response.durationMS = elapsedMilliseconds(start, clock_);
  if (!response.ok) return response;

  bool fits = false;
  try {
    fits = json::measuredSize(response) <= kResponseCeiling;
  } catch (...) {
    fits = false;  // a response that cannot be measured cannot be sent
  }
  if (!fits) {
    response.ok = false;
    response.result.reset();
    response.error = PellucorError(kResponseTooLarge);
    response.durationMS = elapsedMilliseconds(start, clock_);
  }
  return response;
}

}  // namespace pellucor
