#include "native/mac_native_operations.hpp"

#include <string>
#include <string_view>
#include <utility>

#include "native/ax_output_budget.hpp"
#include "native/ax_tree_policy.hpp"
#include "native/key_press.hpp"
#include "native/window_capture.hpp"
#include "native/window_enumeration.hpp"
#include "text/text_equality.hpp"

namespace pellucor {
namespace {

constexpr std::string_view kHelperSuffix = ".pellucor";
constexpr std::string_view kDevelopmentHost = "com.brevant.zorvane.dev";
constexpr std::string_view kDevelopmentProduct = "Zorvane Dev";
constexpr std::string_view kReleaseProduct = "Zorvane";

// The host's bundle identifier: the helper's own without its suffix. Nothing
// when the helper's identifier lacks the suffix or is nothing but the suffix.
// The suffix is ASCII, which no canonical decomposition produces from other
// characters, so comparing bytes is exact here.
std::optional<std::string> hostBundleID(const std::string& helper) {
  if (helper.size() <= kHelperSuffix.size() || !helper.ends_with(kHelperSuffix)) return std::nullopt;
  return helper.substr(0, helper.size() - kHelperSuffix.size());
}

}  // namespace

MacNativeOperations::MacNativeOperations(std::shared_ptr<AccessibilityReading> accessibility,
                                         std::shared_ptr<KeyboardEventPosting> keyboard,
                                         std::shared_ptr<ScreenWindowAccessing> screenWindows,
                                         FrontmostProvider frontmostProvider,
                                         HelperBundleIDProvider helperBundleIDProvider)
    : accessibility_(std::move(accessibility)),
      keyboard_(std::move(keyboard)),
      screenWindows_(std::move(screenWindows)),
      frontmostProvider_(std::move(frontmostProvider)),
      helperBundleIDProvider_(std::move(helperBundleIDProvider)) {}

ValidatedTarget MacNativeOperations::validateTarget(const Target& target, const MonotonicDeadline& deadline) const {
  deadline.check();

  const auto host = hostBundleID(helperBundleIDProvider_());
  if (!host || !text::textEquals(target.bundleID, *host)) fail(target_errors::kWrongFrontmost);
  const auto frontmost = frontmostProvider_();
  if (!frontmost || frontmost->pid != target.pid || !text::textEquals(frontmost->bundleID, target.bundleID) ||
      !target.frontmostRequired) {
    fail(target_errors::kWrongFrontmost);
  }

  const std::string_view product =
      text::textEquals(target.bundleID, kDevelopmentHost) ? kDevelopmentProduct : kReleaseProduct;
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
