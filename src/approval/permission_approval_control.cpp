#include "approval/permission_approval_control.hpp"

#include <algorithm>
#include <chrono>
#include <limits>
#include <optional>
#include <thread>
#include <utility>

#include "approval/approval_window_policy.hpp"
#include "native/window_enumeration.hpp"
#include "platform/stop_token.hpp"

namespace pellucor {
namespace {

std::int64_t configuredSide(double side) {
  const std::optional<std::int64_t> length = truncatedSideLength(side);
  if (!length) return std::numeric_limits<std::int64_t>::max();
  return std::max<std::int64_t>(*length, 1);
}

}  // namespace

void sleepNanoseconds(std::uint64_t nanoseconds) {
  constexpr auto kLongest = static_cast<std::uint64_t>(std::numeric_limits<std::chrono::nanoseconds::rep>::max());
  std::this_thread::sleep_for(
      std::chrono::nanoseconds(static_cast<std::chrono::nanoseconds::rep>(std::min(nanoseconds, kLongest))));
}

platform::CaptureConfiguration approvalCaptureConfiguration(const platform::Rect& frame) {
  platform::CaptureConfiguration configuration;
  configuration.width = configuredSide(frame.width);
  configuration.height = configuredSide(frame.height);
  configuration.showsCursor = false;
  return configuration;
}

PermissionApprovalControl::PermissionApprovalControl(std::shared_ptr<AccessibilityApprovalPrompting> accessibility,
                                                     std::shared_ptr<ScreenWindowAccessing> screenWindows,
                                                     ApprovalFrontmostProvider frontmostProvider,
                                                     HostSignatureCheck hostSignatureCheck,
                                                     std::uint64_t postPromptDelayNanoseconds, NanosecondSleep sleep)
    : accessibility_(std::move(accessibility)),
      screenWindows_(std::move(screenWindows)),
      frontmostProvider_(std::move(frontmostProvider)),
      hostSignatureCheck_(std::move(hostSignatureCheck)),
      postPromptDelayNanoseconds_(postPromptDelayNanoseconds),
      sleep_(std::move(sleep)) {}

PermissionApprovalResult PermissionApprovalControl::run() {
  const bool trusted = accessibility_->requestTrust();
  if (postPromptDelayNanoseconds_ != 0) sleep_(postPromptDelayNanoseconds_);
  const ApprovalTarget target = ApprovalWindowPolicy::validateFrontmost(frontmostProvider_());
  // The name and bundle identifier are the application's own claims; the
  // capture below must not raise the prompt for an impostor's window.
  if (!hostSignatureCheck_(target.pid, target.bundleID)) fail(approval_errors::kTargetInvalid);
  // No deadline here: set-up waits for the platform as long as it takes, so
  // the calls get a stop token that is never asked to stop.
  const ScreenWindowList windows = screenWindows_->windows(platform::StopToken());
  const std::shared_ptr<const ScreenWindow> window = ApprovalWindowPolicy::selectExactWindow(windows, target);
  // The capture is only there to make the platform ask for Screen Recording;
  // the image itself is of no use and is dropped unseen.
  static_cast<void>(
      screenWindows_->capture(*window, approvalCaptureConfiguration(window->candidate.frame), platform::StopToken()));
  return PermissionApprovalResult{trusted, window->candidate.windowID};
}

}  // namespace pellucor
