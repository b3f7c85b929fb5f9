#pragma once

#include <memory>
#include <vector>

#include "platform/platform_value.hpp"
#include "wire/enumerations.hpp"
#include "wire/pellucor_error.hpp"

namespace pellucor {

// The two events of one key press. The system poster always fills both; either
// may be missing in a substitute, and posting copes with that.
class KeyboardEventPair {
 public:
  KeyboardEventPair(platform::PlatformHandle down, platform::PlatformHandle up)
      : down_(std::move(down)), up_(std::move(up)) {}
  const platform::PlatformHandle& down() const noexcept { return down_; }
  const platform::PlatformHandle& up() const noexcept { return up_; }

 private:
  platform::PlatformHandle down_;
  platform::PlatformHandle up_;
};

// Creates and posts the events of one key press.
class KeyboardEventPosting {
 public:
  virtual ~KeyboardEventPosting() = default;
  // Both events, carrying the modifiers as flags. Throws a PellucorError when
  // they cannot be created; nothing has been posted then.
  virtual std::shared_ptr<const KeyboardEventPair> makePair(PhysicalKey key,
                                                            const std::vector<KeyModifier>& modifiers) = 0;
  // True when the pair had the event and it was posted. Never throw.
  virtual bool postDown(const KeyboardEventPair& pair) = 0;
  virtual bool postUp(const KeyboardEventPair& pair) = 0;
};

// The refusal of makePair when the events cannot be created, shared by every
// poster and by the key press that reports it.
namespace keyboard_errors {
inline constexpr ErrorDefinition kEventCreationFailed{"event_creation_failed",
                                                "paired physical key events could not be created"};
}  // namespace keyboard_errors

}  // namespace pellucor
