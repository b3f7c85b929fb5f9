#include "platform/simulated/desktop_state.hpp"

#include <algorithm>
#include <condition_variable>
#include <utility>
#include <vector>

namespace pellucor::simulated {

namespace {

// The entry of `sequence` for the question numbered `asked`, counting the
// question.
template <typename T>
const T& answerInTurn(const std::vector<T>& sequence, std::size_t& asked) {
  const T& answer = sequence[std::min(asked, sequence.size() - 1)];
  if (asked < sequence.size()) ++asked;
  return answer;
}

}  // namespace

DesktopState::DesktopState(DesktopModel model, const std::optional<std::string>& eventsPath)
    : model_(std::move(model)), events_(eventsPath) {}

void DesktopState::delay(SimulatedCall call, platform::StopToken stop) const {
  const auto duration = model_.delays[static_cast<std::size_t>(call)];
  if (duration.count() <= 0) return;
  stop.sleepFor(duration);
}

std::optional<platform::RunningApplication> DesktopState::nextFrontmost() {
  std::lock_guard lock(mutex_);
  return answerInTurn(model_.frontmost, frontmostAsked_);
}

platform::AXResult DesktopState::nextFocusedWindow(std::int32_t pid) {
  const auto sequence = model_.focusedWindows.find(pid);
  if (sequence == model_.focusedWindows.end()) return {platform::ax_status::kCannotComplete, std::nullopt};
  std::lock_guard lock(mutex_);
  return answerInTurn(sequence->second, focusedWindowAsked_[pid]);
}

}  // namespace pellucor::simulated
