#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/platform_value.hpp"

namespace pellucor::platform {

namespace ax_status {
inline constexpr std::int32_t kSuccess = 0;
inline constexpr std::int32_t kAttributeUnsupported = -25205;
inline constexpr std::int32_t kNoValue = -25212;
inline constexpr std::int32_t kCannotComplete = -25204;
inline constexpr std::int32_t kAPIDisabled = -25211;
}  // namespace ax_status

// The answer of one accessibility call: a status, and on success a value (or
// none, when the call succeeded without one).
struct AXResult {
  std::int32_t status = ax_status::kSuccess;
  std::optional<PlatformValue> value;
};

// The platform's accessibility interface, one member per call.
class AccessibilityService {
 public:
  virtual ~AccessibilityService() = default;
  // AXIsProcessTrusted: asked without prompting.
  virtual bool isProcessTrusted() const = 0;
  // AXIsProcessTrustedWithOptions with the prompt option true: shows the
  // platform's prompt when not trusted.
  virtual bool isProcessTrustedWithPrompt() const = 0;
  // AXUIElementCreateApplication.
  virtual PlatformHandle createApplicationElement(std::int32_t pid) const = 0;
  // AXUIElementCopyAttributeValue.
  virtual AXResult copyAttributeValue(const PlatformHandle& element, std::string_view attribute) const = 0;
  // AXUIElementCopyActionNames.
  virtual AXResult copyActionNames(const PlatformHandle& element) const = 0;
};

}  // namespace pellucor::platform
