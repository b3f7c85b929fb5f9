#include "native/system_keyboard_event_poster.hpp"

#include <cstdint>
#include <optional>
#include <utility>

namespace pellucor {
namespace {

// The virtual key codes of the ANSI keyboard (the platform's kVK_ constants).
// Every key the protocol names has one; a value outside the enumeration has
// none.
std::optional<std::uint16_t> keyCode(PhysicalKey key) noexcept {
  switch (key) {
    case PhysicalKey::a: return 0x00;
    case PhysicalKey::b: return 0x0B;
    case PhysicalKey::c: return 0x08;
    case PhysicalKey::d: return 0x02;
    case PhysicalKey::e: return 0x0E;
    case PhysicalKey::f: return 0x03;
    case PhysicalKey::g: return 0x05;
    case PhysicalKey::h: return 0x04;
    case PhysicalKey::i: return 0x22;
    case PhysicalKey::j: return 0x26;
    case PhysicalKey::k: return 0x28;
    case PhysicalKey::l: return 0x25;
    case PhysicalKey::m: return 0x2E;
    case PhysicalKey::n: return 0x2D;
    case PhysicalKey::o: return 0x1F;
    case PhysicalKey::p: return 0x23;
    case PhysicalKey::q: return 0x0C;
    case PhysicalKey::r: return 0x0F;
    case PhysicalKey::s: return 0x01;
    case PhysicalKey::t: return 0x11;
    case PhysicalKey::u: return 0x20;
    case PhysicalKey::v: return 0x09;
    case PhysicalKey::w: return 0x0D;
    case PhysicalKey::x: return 0x07;
    case PhysicalKey::y: return 0x10;
    case PhysicalKey::z: return 0x06;
    case PhysicalKey::zero: return 0x1D;
    case PhysicalKey::one: return 0x12;
    case PhysicalKey::two: return 0x13;
    case PhysicalKey::three: return 0x14;
    case PhysicalKey::four: return 0x15;
    case PhysicalKey::five: return 0x17;
    case PhysicalKey::six: return 0x16;
    case PhysicalKey::seven: return 0x1A;
    case PhysicalKey::eight: return 0x1C;
    case PhysicalKey::nine: return 0x19;
    case PhysicalKey::space: return 0x31;
    case PhysicalKey::returnKey: return 0x24;  // the main return key, not the keypad's enter
    case PhysicalKey::tab: return 0x30;
    case PhysicalKey::escape: return 0x35;
    case PhysicalKey::deleteKey: return 0x33;  // backspace, not forward delete
    case PhysicalKey::left: return 0x7B;
    case PhysicalKey::right: return 0x7C;
    case PhysicalKey::up: return 0x7E;
    case PhysicalKey::down: return 0x7D;
    case PhysicalKey::home: return 0x73;
    case PhysicalKey::end: return 0x77;
    case PhysicalKey::pageUp: return 0x74;
    case PhysicalKey::pageDown: return 0x79;
    case PhysicalKey::minus: return 0x1B;
    case PhysicalKey::equal: return 0x18;
    case PhysicalKey::leftBracket: return 0x21;
    case PhysicalKey::rightBracket: return 0x1E;
    case PhysicalKey::backslash: return 0x2A;
    case PhysicalKey::semicolon: return 0x29;
    case PhysicalKey::quote: return 0x27;
    case PhysicalKey::comma: return 0x2B;
    case PhysicalKey::period: return 0x2F;
    case PhysicalKey::slash: return 0x2C;
    case PhysicalKey::grave: return 0x32;
  }
  return std::nullopt;
}

// The event flag of one modifier (the platform's kCGEventFlagMask values).
std::uint64_t modifierFlag(KeyModifier modifier) noexcept {
  switch (modifier) {
    case KeyModifier::command: return 0x100000;
    case KeyModifier::shift: return 0x20000;
    case KeyModifier::option: return 0x80000;
    case KeyModifier::control: return 0x40000;
  }
  return 0;
}

std::uint64_t modifierFlags(const std::vector<KeyModifier>& modifiers) noexcept {
  std::uint64_t flags = 0;
  for (const KeyModifier modifier : modifiers) flags |= modifierFlag(modifier);
  return flags;
}

}  // namespace

SystemKeyboardEventPoster::SystemKeyboardEventPoster(std::shared_ptr<const platform::KeyboardEventService> keyboard)
    : keyboard_(std::move(keyboard)) {}

std::shared_ptr<const KeyboardEventPair> SystemKeyboardEventPoster::makePair(
    PhysicalKey key, const std::vector<KeyModifier>& modifiers) {
  const std::optional<std::uint16_t> code = keyCode(key);
  if (!code) fail(keyboard_errors::kEventCreationFailed);
  platform::PlatformHandle down = keyboard_->createKeyboardEvent(*code, true);
  if (!down) fail(keyboard_errors::kEventCreationFailed);
  platform::PlatformHandle up = keyboard_->createKeyboardEvent(*code, false);
  // Leaving here drops the only reference to the key-down event.
  if (!up) fail(keyboard_errors::kEventCreationFailed);
  const std::uint64_t flags = modifierFlags(modifiers);
  keyboard_->setFlags(down, flags);
  keyboard_->setFlags(up, flags);
  return std::make_shared<const KeyboardEventPair>(std::move(down), std::move(up));
}

bool SystemKeyboardEventPoster::postDown(const KeyboardEventPair& pair) { return post(pair.down()); }

bool SystemKeyboardEventPoster::postUp(const KeyboardEventPair& pair) { return post(pair.up()); }

bool SystemKeyboardEventPoster::post(const platform::PlatformHandle& event) const noexcept {
  if (!event) return false;
  try {
    keyboard_->post(event, platform::kHIDEventTap);
  } catch (...) {
    // The posting protocol never throws: whoever posts must be able to force
    // the key-up whatever happened to the key-down.
    return false;
  }
  return true;
}

}  // namespace pellucor
