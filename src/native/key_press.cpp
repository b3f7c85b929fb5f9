#include "native/key_press.hpp"

#include <memory>
#include <optional>
#include <utility>

namespace pellucor {
namespace {

using namespace key_press_errors;

// A poster that throws cannot be known to have posted; treating it as a
// "false" answer keeps the release guarantee on every path.
template <typename Post>
bool postedSafely(Post post) noexcept {
  try {
    return post();
  } catch (...) {
    return false;
  }
}

// The error the second validation leaves pending, or nothing when the target
// is still the validated one within the deadline. Whatever happens here must
// not keep the key-up from being posted, so every exception is caught, by
// type.
std::optional<ErrorDefinition> revalidate(const std::function<ValidatedTarget()>& validate,
                                    const MonotonicDeadline& deadline) noexcept {
  try {
    validate();
    if (deadline.isExpired()) return kPartialTimeout;
    return std::nullopt;
  } catch (const PellucorError& error) {
    return error.code == deadline_errors::kExpired.code ? kPartialTimeout : kPartialTargetChanged;
  } catch (...) {
    return kPartialRevalidationFailed;
  }
}

}  // namespace

NativeExecution pressKey(KeyboardEventPosting& keyboard, PhysicalKey key, const std::vector<KeyModifier>& modifiers,
                         const std::function<ValidatedTarget()>& validate, const MonotonicDeadline& deadline) {
  const std::shared_ptr<const KeyboardEventPair> pair = keyboard.makePair(key, modifiers);
  if (!pair) fail(keyboard_errors::kEventCreationFailed);

  ValidatedTarget validated = validate();
  if (deadline.isExpired()) fail(kTimeoutBeforePost);

  if (!postedSafely([&] { return keyboard.postDown(*pair); })) {
    // The key-down may have reached the system anyway: force one release.
    if (postedSafely([&] { return keyboard.postUp(*pair); })) fail(kDownAmbiguous);
    fail(kAmbiguousCleanupFailed);
  }

  // Nothing is posted and nothing waits between the key-down and this
  // validation, so the key is held exactly as long as it takes.
  const std::optional<ErrorDefinition> pending = revalidate(validate, deadline);
  if (!postedSafely([&] { return keyboard.postUp(*pair); })) fail(kCleanupFailed);
  if (pending) fail(*pending);

  JSONValue::Object result;
  result.emplace("posted", true);
  return NativeExecution{std::move(validated.observation), JSONValue(std::move(result))};
}

}  // namespace pellucor
