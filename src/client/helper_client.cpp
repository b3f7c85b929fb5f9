#include "client/helper_client.hpp"

#include <system_error>
#include <utility>

#include "wire/json_encoder.hpp"

namespace pellucor::client {

std::chrono::milliseconds operationBudget(PellucorOperation operation) noexcept {
  using std::chrono::milliseconds;
  switch (operation) {
    case PellucorOperation::observeAX: return milliseconds(5000);
    case PellucorOperation::enumerateTargetWindows: return milliseconds(3000);
    case PellucorOperation::captureTargetWindow: return milliseconds(7000);
    case PellucorOperation::key:
    case PellucorOperation::hotkey: return milliseconds(1000);
  }
  return milliseconds(0);
}

HelperClient::HelperClient(std::vector<std::string> helperCommand, RandomSource& random, ClientOptions options)
    : command_(std::move(helperCommand)), random_(random), options_(options) {}

std::chrono::milliseconds HelperClient::limitFor(PellucorOperation operation) const noexcept {
  return options_.limit ? *options_.limit : operationBudget(operation) + options_.margin;
}

CallResult HelperClient::call(PellucorOperation operation, const Target& target, std::optional<PhysicalKey> key,
                              const std::vector<KeyModifier>& modifiers) const {
  try {
    return call(newRequest(random_, operation, target, key, modifiers));
  } catch (const std::system_error& failure) {
    CallResult result;
    result.outcome = Outcome::clientFailure;
    result.detail = failure.what();
    return result;
  }
}

CallResult HelperClient::call(const Request& request) const {
  std::string line;
  try {
    line = requestLine(request);
  } catch (const json::EncodingError& failure) {
    CallResult result;
    result.request = request;
    result.outcome = Outcome::clientFailure;
    result.detail = failure.what();
    return result;
  }
  RunLimits limits;
  limits.wallClock = limitFor(request.operation);
  return verifyResponse(request, runHelper(command_, line, limits));
}

CallResult HelperClient::runApproval() const {
  std::vector<std::string> argv = command_;
  argv.emplace_back(kApprovalArgument);
  RunLimits limits;
  limits.wallClock = options_.limit ? *options_.limit : options_.approvalLimit;
  return verifyApproval(runHelper(argv, {}, limits));
}

}  // namespace pellucor::client
