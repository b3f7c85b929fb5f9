#pragma once

#include <cstdint>
#include <string_view>

#include "platform/accessibility.hpp"

namespace pellucor::platform::macos {

// The accessibility API of ApplicationServices. Every call of a run should
// come from the one worker thread that runs the request.
class MacAccessibility final : public AccessibilityService {
 public:
  // AXIsProcessTrusted.
  bool isProcessTrusted() const override;
  // AXIsProcessTrustedWithOptions({kAXTrustedCheckOptionPrompt: true}).
  bool isProcessTrustedWithPrompt() const override;
  // AXUIElementCreateApplication; a handle holding the element.
  PlatformHandle createApplicationElement(std::int32_t pid) const override;
  // AXUIElementCopyAttributeValue; the AXError unchanged, and the value
  // converted by platformValue when the call succeeded with one. An attribute
  // name that is not UTF-8 cannot be made into a platform string, and a
  // handle that holds no element cannot be passed: both answer
  // kAXErrorIllegalArgument (-25201) without calling the platform.
  AXResult copyAttributeValue(const PlatformHandle& element, std::string_view attribute) const override;
  // AXUIElementCopyActionNames; as copyAttributeValue.
  AXResult copyActionNames(const PlatformHandle& element) const override;
};

}  // namespace pellucor::platform::macos
