#include "native/mac_native_operations.hpp"

#include <string>
#include <string_view>
#include <utility>

#include "host/host_identity.hpp"
#include "native/ax_output_budget.hpp"
#include "native/ax_tree_policy.hpp"
#include "native/key_press.hpp"
#include "native/window_capture.hpp"
#include "native/window_enumeration.hpp"
#include "text/text_equality.hpp"

namespace pellucor {

MacNativeOperations::MacNativeOperations(std::shared_ptr<AccessibilityReading> accessibility,
                                         std::shared_ptr<KeyboardEventPosting> keyboard,
                                         std::shared_ptr<ScreenWindowAccessing> screenWindows,
                                         FrontmostProvider frontmostProvider,
                                         HelperBundleIDProvider helperBundleIDProvider,
                                         HostSignatureCheck hostSignatureCheck)
    : accessibility_(std::move(accessibility)),
      keyboard_(std::move(keyboard)),
      screenWindows_(std::move(screenWindows)),
      frontmostProvider_(std::move(frontmostProvider)),
      helperBundleIDProvider_(std::move(helperBundleIDProvider)),
      hostSignatureCheck_(std::move(hostSignatureCheck)) {}

ValidatedTarget MacNativeOperations::validateTarget(const Target& target, const MonotonicDeadline& deadline) const {
  deadline.check();

  const auto host = host_identity::hostBundleID(helperBundleIDProvider_());
  if (!host || !text::textEquals(target.bundleID, *host)) fail(target_errors::kWrongFrontmost);
  const auto frontmost = frontmostProvider_();
  if (!frontmost || frontmost->pid != target.pid || !text::textEquals(frontmost->bundleID, target.bundleID) ||
      !target.frontmostRequired) {
    fail(target_errors::kWrongFrontmost);
  }
  // Every text above is one any application can claim for itself; only the
  // signature tells the host from an impostor that copies them.
  if (!hostSignatureCheck_(frontmost->pid, *host)) fail(target_errors::kNotSignedAsHost);

  const std::string_view product = host_identity::productName(target.bundleID);
  if (!text::textEquals(frontmost->localizedName, product)) fail(target_errors::kWrongProduct);

  AXReadSnapshot snapshot = accessibility_->readFocused(frontmost->pid, deadline);
  deadline.check();
  if (!text::textEquals(snapshot.focusedTitle, product)) fail(target_errors::kWrongWindowTitle);
  if (!AXTreePolicy::markerMatches(snapshot.tree, target)) fail(target_errors::kMarkerMismatch);

  TargetObservation observation;
  observation.pid = frontmost->pid;
  observation.bundleID = target.bundleID;
  observation.surface = target.surface;
  observation.applicationID = target.applicationID;
  observation.applicationName = target.applicationName;
  observation.applicationRevision = target.applicationRevision;
  return ValidatedTarget{std::move(observation), std::move(snapshot)};
}

NativeExecution MacNativeOperations::observeAX(const Target& target, const MonotonicDeadline& deadline) {
  ValidatedTarget validated = validateTarget(target, deadline);
  JSONValue::Object result;
  result.emplace("preflight_trusted", accessibility_->isProcessTrusted());
  result.emplace("tree", std::move(validated.snapshot.tree));
  JSONValue resultValue(std::move(result));
  if (AXOutputBudget::exceeds(AXOutputBudget::encodedSize(resultValue))) fail(ax_errors::kTooLarge);
  deadline.check();
  return NativeExecution{std::move(validated.observation), std::move(resultValue)};
}

NativeExecution MacNativeOperations::enumerateWindows(const Target& target, const MonotonicDeadline& deadline) {
  return enumerateFocusedWindow([&] { return validateTarget(target, deadline); }, screenWindows_, target, deadline);
}

NativeExecution MacNativeOperations::captureWindow(const Target& target, const MonotonicDeadline& deadline) {
  return captureFocusedWindow([&] { return validateTarget(target, deadline); }, screenWindows_, target, deadline);
}

NativeExecution MacNativeOperations::postKey(PhysicalKey key, const std::vector<KeyModifier>& modifiers,
                                             const Target& target, const MonotonicDeadline& deadline) {
  return pressKey(*keyboard_, key, modifiers, [&] { return validateTarget(target, deadline); }, deadline);
}

}  // namespace pellucor
