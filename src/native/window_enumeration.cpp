#include "native/window_enumeration.hpp"

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "native/ax_string_sanitizer.hpp"
#include "native/bounded_wait.hpp"
#include "native/focused_window_policy.hpp"
#include "native/truncation.hpp"
#include "platform/platform_error.hpp"
#include "text/text_equality.hpp"

namespace pellucor {
namespace {

using platform::PlatformValue;

// The value of a number of the older window list as an integer of type Int:
// an integer as it is, a floating-point number truncated toward zero. Nothing
// for any other kind, and for a value the type cannot hold, which must never
// be wrapped into some other process's identifier or window's number.
template <typename Int>
std::optional<Int> integerValue(const PlatformValue* value) {
  if (value == nullptr) return std::nullopt;
  switch (value->kind) {
    case PlatformValue::Kind::integer:
      if (!std::in_range<Int>(value->integer)) return std::nullopt;
      return static_cast<Int>(value->integer);
    case PlatformValue::Kind::floating:
      return truncatedTo<Int>(value->floating);
    case PlatformValue::Kind::text:
    case PlatformValue::Kind::boolean:
    case PlatformValue::Kind::axValue:
    case PlatformValue::Kind::element:
    case PlatformValue::Kind::list:
    case PlatformValue::Kind::dictionary:
    case PlatformValue::Kind::other:
      return std::nullopt;
  }
  return std::nullopt;
}

bool isListOfDictionaries(const PlatformValue& value) {
  if (value.kind != PlatformValue::Kind::list) return false;
  for (const PlatformValue& entry : value.list) {
    if (entry.kind != PlatformValue::Kind::dictionary) return false;
  }
  return true;
}

JSONValue windowObject(const WindowCandidate& window, std::optional<std::int64_t> sharingState) {
  // Members are built in their documented order, so the title's escaping
  // fails before a side without a length would.
  JSONValue::Object object;
  object.emplace("window_id", static_cast<std::int64_t>(window.windowID));
  object.emplace("title", AXStringSanitizer::escape(window.title));
  const std::optional<std::int64_t> width = truncatedSideLength(window.frame.width);
  const std::optional<std::int64_t> height = truncatedSideLength(window.frame.height);
  if (!width || !height) fail(window_errors::kInvalidFrameSize);
  object.emplace("width", *width);
  object.emplace("height", *height);
  object.emplace("on_screen", window.onScreen);
  object.emplace("legacy_sharing_state", sharingState ? JSONValue(*sharingState) : JSONValue(nullptr));
  return JSONValue(std::move(object));
}

}  // namespace

ScreenWindowList candidateWindows(const std::shared_ptr<ScreenWindowAccessing>& screenWindows, const Target& target,
                                  const MonotonicDeadline& deadline) {
  // The worker may outlive this call when the deadline wins, so it shares
  // ownership of the window access rather than borrowing it.
  ScreenWindowList all = bounded<ScreenWindowList>(
      deadline, [screenWindows](platform::StopToken stop) { return screenWindows->windows(std::move(stop)); });
  ScreenWindowList own;
  for (auto& window : all) {
    const WindowCandidate& candidate = window->candidate;
    if (candidate.onScreen && candidate.pid == target.pid && text::textEquals(candidate.bundleID, target.bundleID)) {
      own.push_back(std::move(window));
    }
  }
  if (own.size() > kMaximumCandidateWindows) fail(window_errors::kTooManyWindows);
  return own;
}

std::map<std::uint32_t, std::int64_t> legacyMetadataByWindowID(ScreenWindowAccessing& screenWindows,
                                                               const Target& target) {
  std::optional<PlatformValue> list;
  try {
    list = screenWindows.legacyWindowList();
  } catch (const platform::PlatformError&) {
    // The older list only adds detail; without it every state is unknown.
    return {};
  }
  std::map<std::uint32_t, std::int64_t> states;
  if (!list || !isListOfDictionaries(*list)) return states;
  for (const PlatformValue& entry : list->list) {
    const auto owner = integerValue<std::int32_t>(entry.entry("kCGWindowOwnerPID"));
    if (!owner || *owner != target.pid) continue;
    const auto number = integerValue<std::uint32_t>(entry.entry("kCGWindowNumber"));
    if (!number) continue;
    const auto state = integerValue<std::int64_t>(entry.entry("kCGWindowSharingState"));
    if (!state) continue;
    states.insert_or_assign(*number, *state);
  }
  return states;
}

std::optional<std::int64_t> truncatedSideLength(double side) noexcept {
  return truncatedTo<std::int64_t>(std::fabs(side));
}

NativeExecution enumerateFocusedWindow(const std::function<ValidatedTarget()>& validate,
                                       const std::shared_ptr<ScreenWindowAccessing>& screenWindows,
                                       const Target& target, const MonotonicDeadline& deadline) {
  ValidatedTarget validated = validate();
  const ScreenWindowList windows = candidateWindows(screenWindows, target, deadline);
  std::vector<WindowCandidate> candidates;
  candidates.reserve(windows.size());
  for (const auto& window : windows) candidates.push_back(window->candidate);
  const WindowCandidate& matched =
      candidates[FocusedWindowPolicy::unique(candidates, validated.snapshot, target, true)];

  const auto states = legacyMetadataByWindowID(*screenWindows, target);
  const auto state = states.find(matched.windowID);
  JSONValue::Array result;
  result.push_back(windowObject(matched, state == states.end() ? std::nullopt : std::optional(state->second)));
  deadline.check();

  validated.observation.windowID = matched.windowID;
  return NativeExecution{std::move(validated.observation), JSONValue(std::move(result))};
}

}  // namespace pellucor
