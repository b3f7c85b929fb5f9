#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "approval/approval_target.hpp"
#include "native/screen_window_access.hpp"
#include "wire/pellucor_error.hpp"

namespace pellucor {

namespace approval_errors {
inline constexpr ErrorDefinition kTargetInvalid{"approval_target_invalid", "frontmost app is not the exact Zorvane channel"};
inline constexpr ErrorDefinition kWindowAmbiguous{"approval_window_ambiguous",
                                            "exact frontmost Zorvane ScreenCaptureKit window is absent or ambiguous"};
}  // namespace approval_errors

// Decides which application and which of its windows approval mode may act
// for: only the host itself, production or development build, and only its
// one main window.
struct ApprovalWindowPolicy {
  ApprovalWindowPolicy() = delete;

  // Returns the frontmost application unchanged when it is one of the host's
  // builds (host_identity::kHostBuilds) and carries that build's product name
  // as its localized name (canonical equivalence,
  // no case folding); its process identifier is not examined. Fails with
  // "approval_target_invalid" when there is no frontmost application, its
  // bundle identifier is not accepted, or its name is not the listed one.
  static ApprovalTarget validateFrontmost(const std::optional<ApprovalTarget>& frontmost);

  // The one window, in `windows`, of the target's process and bundle
  // identifier that is on screen, is titled exactly the target's name and has
  // a positive width and height (of the standardised frame, so a negative side
  // counts by its length). A side that is not a finite number, or whose length
  // does not fit a signed 64-bit integer, fails its test, since no capture
  // could be configured for it. Fails with "approval_window_ambiguous" unless
  // exactly one window passes; the returned window is the very list element.
  static std::shared_ptr<const ScreenWindow> selectExactWindow(const ScreenWindowList& windows,
                                                               const ApprovalTarget& target);
};

}  // namespace pellucor
