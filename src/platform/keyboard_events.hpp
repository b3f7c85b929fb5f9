#pragma once

#include <cstdint>

#include "platform/platform_value.hpp"

namespace pellucor::platform {

// The HID event tap, where events are posted.
inline constexpr std::uint32_t kHIDEventTap = 0;

// Keyboard events, one member per platform call.
class KeyboardEventService {
 public:
  virtual ~KeyboardEventService() = default;
  // CGEventCreateKeyboardEvent without an event source; null when the event
  // cannot be created.
  virtual PlatformHandle createKeyboardEvent(std::uint16_t keyCode, bool keyDown) const = 0;
  // CGEventSetFlags.
  virtual void setFlags(const PlatformHandle& event, std::uint64_t flags) const = 0;
  // CGEventPost at `tap`.
  virtual void post(const PlatformHandle& event, std::uint32_t tap) const = 0;
};

}  // namespace pellucor::platform
