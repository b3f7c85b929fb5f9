#include "support/fake_keyboard_events.hpp"

#include <algorithm>
#include <memory>

#include "platform/platform_error.hpp"

namespace pellucor::testing {

platform::PlatformHandle FakeKeyboardEvents::createKeyboardEvent(std::uint16_t keyCode, bool keyDown) const {
  const int number = creations_++;
  if (std::find(failingCreations.begin(), failingCreations.end(), number) != failingCreations.end()) return nullptr;
  auto event = std::make_shared<const Event>(keyCode, keyDown);
  created_.push_back(event);
  return event;
}

void FakeKeyboardEvents::setFlags(const platform::PlatformHandle& event, std::uint64_t flags) const {
  const auto& keyEvent = dynamic_cast<const Event&>(*event);
  keyEvent.flags = flags;
  keyEvent.flagsSet = true;
}

void FakeKeyboardEvents::post(const platform::PlatformHandle& event, std::uint32_t tap) const {
  if (postingThrows) throw platform::PlatformError("event posting failed");
  const auto& keyEvent = dynamic_cast<const Event&>(*event);
  posted_.push_back(Posted{keyEvent.keyCode, keyEvent.keyDown, keyEvent.flags, tap});
}

bool FakeKeyboardEvents::anyEventStillHeld() const {
  return std::any_of(created_.begin(), created_.end(), [](const auto& event) { return !event.expired(); });
}

}  // namespace pellucor::testing
