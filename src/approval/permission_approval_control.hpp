#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "approval/accessibility_approval_prompting.hpp"
#include "approval/approval_controlling.hpp"
#include "approval/approval_target.hpp"
#include "host/host_signature.hpp"
#include "native/screen_window_access.hpp"
#include "platform/screen_capture.hpp"

namespace pellucor {

// Blocks the calling thread for the given number of nanoseconds.
using NanosecondSleep = std::function<void(std::uint64_t nanoseconds)>;

// The thread's own sleep; a pause longer than the clock can express is cut to
// the longest one it can.
void sleepNanoseconds(std::uint64_t nanoseconds);

// The capture configuration of approval mode for a window with `frame`: the
// standardised frame's width and height, truncated toward zero but at least 1
// (a side beyond the signed 64-bit range saturates), and no cursor. Nothing
// else is set, so resolution and pixel format stay the platform's defaults.
platform::CaptureConfiguration approvalCaptureConfiguration(const platform::Rect& frame);

// First-time set-up for the host: asks once for Accessibility trust with the
// platform's prompt, pauses, makes sure the host itself is frontmost (by its
// name and bundle identifier, and by its signature), and captures one frame of
// its one exact window so that the platform raises its Screen Recording
// prompt. It never claims that a permission was granted.
//
// No deadline applies: both screen-capture calls wait for the platform as
// long as it takes. Keeps nothing between runs.
class PermissionApprovalControl final : public ApprovalControlling {
 public:
  PermissionApprovalControl(std::shared_ptr<AccessibilityApprovalPrompting> accessibility,
                            std::shared_ptr<ScreenWindowAccessing> screenWindows,
                            ApprovalFrontmostProvider frontmostProvider, HostSignatureCheck hostSignatureCheck,
                            std::uint64_t postPromptDelayNanoseconds, NanosecondSleep sleep = sleepNanoseconds);

  // In this order: the trust request; the pause (none when the delay is 0);
  // the frontmost application ("approval_target_invalid"); its signature as
  // the host, by the helper's team ("approval_target_invalid"); the window
  // listing (its failure unchanged); the window selection
  // ("approval_window_ambiguous"); the capture (its failure unchanged, for
  // instance "window_handle_missing" or a platform::PlatformError). The
  // captured image is dropped unseen. The result carries the trust answer of
  // the first step and the captured window's number.
  PermissionApprovalResult run() override;

 private:
  std::shared_ptr<AccessibilityApprovalPrompting> accessibility_;
  std::shared_ptr<ScreenWindowAccessing> screenWindows_;
  ApprovalFrontmostProvider frontmostProvider_;
  HostSignatureCheck hostSignatureCheck_;
  std::uint64_t postPromptDelayNanoseconds_;
  NanosecondSleep sleep_;
};

}  // namespace pellucor
