#include "platform/simulated/simulated_services.hpp"

#include <atomic>

namespace pellucor::simulated {

namespace {

// A keyboard event; its flags may be set after it was handed out, as the
// platform's events are mutable objects behind their references.
struct KeyboardEvent final : platform::PlatformObject {
  KeyboardEvent(std::uint16_t code, bool down) : keyCode(code), keyDown(down) {}
  std::uint16_t keyCode;
  bool keyDown;
  mutable std::atomic<std::uint64_t> flags{0};
};

}  // namespace

platform::PlatformHandle SimulatedKeyboardEvents::createKeyboardEvent(std::uint16_t keyCode, bool keyDown) const {
  if (!model().keyboardEventCreation) return nullptr;
  return std::make_shared<KeyboardEvent>(keyCode, keyDown);
}

void SimulatedKeyboardEvents::setFlags(const platform::PlatformHandle& event, std::uint64_t flags) const {
  if (const auto* keyboardEvent = dynamic_cast<const KeyboardEvent*>(event.get())) keyboardEvent->flags = flags;
}

void SimulatedKeyboardEvents::post(const platform::PlatformHandle& event, std::uint32_t) const {
  const auto* keyboardEvent = dynamic_cast<const KeyboardEvent*>(event.get());
  if (keyboardEvent != nullptr) {
    state().events().keyEvent(keyboardEvent->keyDown, keyboardEvent->keyCode, keyboardEvent->flags.load());
  }
  state().delay(SimulatedCall::postEvent);
}

}  // namespace pellucor::simulated
