#pragma once

#include <cstdint>

#include "platform/keyboard_events.hpp"

namespace pellucor::platform::macos {

// Keyboard events of Core Graphics. Without the Accessibility permission the
// system drops posted events silently; nothing here can tell.
class MacKeyboardEvents final : public KeyboardEventService {
 public:
  // CGEventCreateKeyboardEvent(NULL, keyCode, keyDown).
  PlatformHandle createKeyboardEvent(std::uint16_t keyCode, bool keyDown) const override;
  // CGEventSetFlags, which replaces all flags. Does nothing for a handle that
  // holds no event.
  void setFlags(const PlatformHandle& event, std::uint64_t flags) const override;
  // CGEventPost at `tap`. Does nothing for a handle that holds no event.
  void post(const PlatformHandle& event, std::uint32_t tap) const override;
};

}  // namespace pellucor::platform::macos
