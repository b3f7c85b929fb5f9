#pragma once

#include <memory>
#include <vector>

#include "host/host_signature.hpp"
#include "native/accessibility_reading.hpp"
#include "native/default_providers.hpp"
#include "native/keyboard_event_posting.hpp"
#include "native/native_operating.hpp"
#include "native/screen_window_access.hpp"
#include "native/target_validation_records.hpp"

namespace pellucor {

// The errors of target validation. The identity checks share one code and
// message on purpose, so that a refusal does not tell which check failed;
// only a frontmost application that claims to be the host without its
// signature has a message of its own, under the same code.
namespace target_errors {
inline constexpr ErrorDefinition kWrongFrontmost{"wrong_frontmost", "target is not the exact frontmost Zorvane process"};
inline constexpr ErrorDefinition kNotSignedAsHost{"wrong_frontmost", "frontmost application is not signed as the host"};
inline constexpr ErrorDefinition kWrongProduct{"wrong_product", "target release product name differs"};
inline constexpr ErrorDefinition kWrongWindowTitle{"wrong_window_title",
                                             "focused AX window title differs from the release product"};
inline constexpr ErrorDefinition kMarkerMismatch{"marker_mismatch",
                                           "focused window does not contain the exact Plugin application marker"};
}  // namespace target_errors

// Carries the native operations of one request. It holds no mutable state:
// both providers and the signature check are asked afresh at every
// validation, so a second validation sees the screen as it is then.
class MacNativeOperations final : public NativeOperating {
 public:
  MacNativeOperations(std::shared_ptr<AccessibilityReading> accessibility,
                      std::shared_ptr<KeyboardEventPosting> keyboard,
                      std::shared_ptr<ScreenWindowAccessing> screenWindows, FrontmostProvider frontmostProvider,
                      HelperBundleIDProvider helperBundleIDProvider, HostSignatureCheck hostSignatureCheck);

  // The focused window's tree, read once while validating the target, as
  // {"preflight_trusted": bool, "tree": object}. Fails with every error of
  // validateTarget, with "ax_too_large" when that result measures more than
  // 1048576 bytes, and with "operation_timeout" when the deadline has passed
  // once it is built. The trust flag is only reported.
  NativeExecution observeAX(const Target& target, const MonotonicDeadline& deadline) override;
  // The next three validate the target with validateTarget and then do the
  // work that enumerateFocusedWindow (window_enumeration.hpp),
  // captureFocusedWindow (window_capture.hpp) and pressKey (key_press.hpp)
  // describe, with their results and failures.
  NativeExecution enumerateWindows(const Target& target, const MonotonicDeadline& deadline) override;
  NativeExecution captureWindow(const Target& target, const MonotonicDeadline& deadline) override;
  NativeExecution postKey(PhysicalKey key, const std::vector<KeyModifier>& modifiers, const Target& target,
                          const MonotonicDeadline& deadline) override;

 private:
  // Proves that `target` is the frontmost host application and that its
  // focused window is the expected one. Checks run in a fixed order and the
  // first that fails ends the validation:
  //   the deadline ("operation_timeout");
  //   the host identity derived from the helper's own bundle identifier, the
  //   target's bundle identifier, the frontmost application, its process and
  //   bundle identifier, and the target's frontmost requirement (all
  //   "wrong_frontmost");
  //   the frontmost process's signature as the host, by the helper's team
  //   ("wrong_frontmost", with its own message), checked once;
  //   the frontmost application's name against the release product name
  //   ("wrong_product");
  //   the read of the focused window (its errors pass through unchanged);
  //   the deadline again ("operation_timeout");
  //   the window title ("wrong_window_title");
  //   the marker node in the window's tree ("marker_mismatch").
  // The observation carries no window identifier.
  ValidatedTarget validateTarget(const Target& target, const MonotonicDeadline& deadline) const;

  std::shared_ptr<AccessibilityReading> accessibility_;
  std::shared_ptr<KeyboardEventPosting> keyboard_;
  std::shared_ptr<ScreenWindowAccessing> screenWindows_;
  FrontmostProvider frontmostProvider_;
  HelperBundleIDProvider helperBundleIDProvider_;
  HostSignatureCheck hostSignatureCheck_;
};

}  // namespace pellucor
