#include "platform/macos/keyboard_events_macos.hpp"

#include <CoreGraphics/CoreGraphics.h>

#include "platform/macos/cf_object.hpp"

namespace pellucor::platform::macos {
namespace {

// The event a handle holds, or null when it holds something else.
CGEventRef eventOf(const PlatformHandle& handle) noexcept {
  const CFTypeRef object = cfObjectOf<CFTypeRef>(handle);
  if (object == nullptr || CFGetTypeID(object) != CGEventGetTypeID()) return nullptr;
  // The platform's event type is mutable; the handle only holds the reference.
  return const_cast<CGEventRef>(static_cast<const __CGEvent*>(object));
}

}  // namespace

PlatformHandle MacKeyboardEvents::createKeyboardEvent(std::uint16_t keyCode, bool keyDown) const {
  return handleFor(CFRef<CFTypeRef>::adopt(CGEventCreateKeyboardEvent(nullptr, keyCode, keyDown)));
}

void MacKeyboardEvents::setFlags(const PlatformHandle& event, std::uint64_t flags) const {
  if (const CGEventRef target = eventOf(event)) CGEventSetFlags(target, flags);
}

void MacKeyboardEvents::post(const PlatformHandle& event, std::uint32_t tap) const {
  if (const CGEventRef target = eventOf(event)) CGEventPost(static_cast<CGEventTapLocation>(tap), target);
}

}  // namespace pellucor::platform::macos
