#pragma once

#include <cstdint>
#include <vector>

#include "platform/keyboard_events.hpp"

namespace pellucor::testing {

// A keyboard-event service that keeps a log of everything done with its events.
class FakeKeyboardEvents final : public platform::KeyboardEventService {
 public:
  struct Event final : platform::PlatformObject {
    Event(std::uint16_t code, bool down) : keyCode(code), keyDown(down) {}
    std::uint16_t keyCode;
    bool keyDown;
    mutable std::uint64_t flags = 0x100;  // what the platform may put on a new event
    mutable bool flagsSet = false;
  };
  struct Posted {
    std::uint16_t keyCode;
    bool keyDown;
    std::uint64_t flags;
    std::uint32_t tap;
    friend bool operator==(const Posted&, const Posted&) = default;
  };

  // Creating the event with this (zero-based) number, counted over all
  // creations, fails; nothing fails when unset.
  std::vector<int> failingCreations;
  // Posting throws a PlatformError (and posts nothing) when set.
  bool postingThrows = false;

  platform::PlatformHandle createKeyboardEvent(std::uint16_t keyCode, bool keyDown) const override;
  void setFlags(const platform::PlatformHandle& event, std::uint64_t flags) const override;
  void post(const platform::PlatformHandle& event, std::uint32_t tap) const override;

  const std::vector<Posted>& posted() const { return posted_; }
  int creations() const { return creations_; }
  // Whether any event this service created is still held by anyone.
  bool anyEventStillHeld() const;

 private:
  mutable int creations_ = 0;
  mutable std::vector<Posted> posted_;
  mutable std::vector<platform::PlatformHandle::weak_type> created_;
};

}  // namespace pellucor::testing
