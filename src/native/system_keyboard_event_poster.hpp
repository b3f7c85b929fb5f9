#pragma once

#include <memory>
#include <vector>

#include "native/keyboard_event_posting.hpp"
#include "platform/keyboard_events.hpp"

namespace pellucor {

// Key events over the platform's keyboard-event service: each physical key is
// the virtual key code of the key at that position on an ANSI (US) keyboard,
// and the modifiers travel only as flags on the two events, never as key
// events of their own. Holds no state besides the service.
class SystemKeyboardEventPoster final : public KeyboardEventPosting {
 public:
  explicit SystemKeyboardEventPoster(std::shared_ptr<const platform::KeyboardEventService> keyboard);

  // Creates the key-down and then the key-up event and sets the modifiers'
  // flags on both, also when there are none, so that neither event keeps a
  // flag the platform may have put there. Fails with "event_creation_failed"
  // when the key has no code or either event cannot be created (a key-down
  // already created is released then). Nothing is ever posted here.
  std::shared_ptr<const KeyboardEventPair> makePair(PhysicalKey key,
                                                    const std::vector<KeyModifier>& modifiers) override;

  // Post the pair's event at the HID event tap and answer true when the pair
  // holds it; answer false and post nothing when it does not, or when the
  // platform call itself fails (the event cannot be known to have been
  // posted then).
  bool postDown(const KeyboardEventPair& pair) override;
  bool postUp(const KeyboardEventPair& pair) override;

 private:
  bool post(const platform::PlatformHandle& event) const noexcept;

  std::shared_ptr<const platform::KeyboardEventService> keyboard_;
};

}  // namespace pellucor
