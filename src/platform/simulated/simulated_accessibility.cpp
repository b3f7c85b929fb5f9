#include "platform/simulated/simulated_services.hpp"

namespace pellucor::simulated {

namespace {

constexpr std::string_view kFocusedWindowAttribute = "AXFocusedWindow";
// kAXErrorIllegalArgument: what the platform answers for an element
// reference it does not know.
constexpr std::int32_t kIllegalArgument = -25201;

// The element of a running application; reading its focused window is the
// one question the desktop answers about it.
struct ApplicationElement final : platform::PlatformObject {
  explicit ApplicationElement(std::int32_t p) : pid(p) {}
  std::int32_t pid;
};

}  // namespace

bool SimulatedAccessibility::isProcessTrusted() const { return model().trusted; }

bool SimulatedAccessibility::isProcessTrustedWithPrompt() const {
  state().events().trustPrompt();
  state().delay(SimulatedCall::trustPrompt);
  return model().promptAnswer;
}

platform::PlatformHandle SimulatedAccessibility::createApplicationElement(std::int32_t pid) const {
  return std::make_shared<ApplicationElement>(pid);
}

platform::AXResult SimulatedAccessibility::copyAttributeValue(const platform::PlatformHandle& element,
                                                              std::string_view attribute) const {
  if (const auto* application = dynamic_cast<const ApplicationElement*>(element.get())) {
    if (attribute == kFocusedWindowAttribute) {
      platform::AXResult answer = state().nextFocusedWindow(application->pid);
      state().delay(SimulatedCall::focusedWindow);
      return answer;
    }
    state().delay(SimulatedCall::copyAttribute);
    return {platform::ax_status::kAttributeUnsupported, std::nullopt};
  }
  state().delay(SimulatedCall::copyAttribute);
  const auto* simulated = dynamic_cast<const SimulatedElement*>(element.get());
  if (simulated == nullptr) return {kIllegalArgument, std::nullopt};
  const auto found = simulated->attributes.find(attribute);
  if (found == simulated->attributes.end()) return {platform::ax_status::kAttributeUnsupported, std::nullopt};
  return found->second;
}

platform::AXResult SimulatedAccessibility::copyActionNames(const platform::PlatformHandle& element) const {
  state().delay(SimulatedCall::actionNames);
  if (dynamic_cast<const ApplicationElement*>(element.get()) != nullptr) {
    return {platform::ax_status::kSuccess, platform::PlatformValue::makeList({})};
  }
  const auto* simulated = dynamic_cast<const SimulatedElement*>(element.get());
  if (simulated == nullptr) return {kIllegalArgument, std::nullopt};
  return simulated->actions;
}

}  // namespace pellucor::simulated
