#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include "platform/stop_token.hpp"

#include "platform/accessibility.hpp"
#include "platform/simulated/desktop_model.hpp"
#include "platform/simulated/event_log.hpp"
#include "platform/workspace.hpp"

namespace pellucor::simulated {

// A desktop while it runs: the immutable model read from the file, the
// positions reached in its sequences, and the events it has seen. Every
// member may be called from any thread; the mutable parts are guarded.
class DesktopState {
 public:
  DesktopState(DesktopModel model, const std::optional<std::string>& eventsPath);

  const DesktopModel& model() const noexcept { return model_; }
  EventLog& events() noexcept { return events_; }
  const EventLog& events() const noexcept { return events_; }

  // Sleeps for the delay the file gives `call`, if any. A stop request on
  // `stop` ends the sleep early; a default token never does.
  void delay(SimulatedCall call, platform::StopToken stop = {}) const;

  // The answer to the next question about the frontmost application: the
  // sequence's entries in turn, its last entry for every later question.
  std::optional<platform::RunningApplication> nextFrontmost();

  // The answer to the next read of the focused window of `pid`, in the same
  // way; an unlisted process answers kCannotComplete.
  platform::AXResult nextFocusedWindow(std::int32_t pid);

 private:
  const DesktopModel model_;
  EventLog events_;
  std::mutex mutex_;
  std::size_t frontmostAsked_ = 0;
  std::map<std::int32_t, std::size_t> focusedWindowAsked_;
};

}  // namespace pellucor::simulated
