#include "platform/stop_token.hpp"

#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

namespace pellucor::platform {

namespace detail {

struct StopState {
  std::mutex mutex;
  std::condition_variable stopped;
  bool requested = false;
  std::uint64_t nextID = 1;
  std::vector<std::pair<std::uint64_t, std::function<void()>>> callbacks;
};

}  // namespace detail

StopRegistration::StopRegistration(std::shared_ptr<detail::StopState> state, std::uint64_t id) noexcept
    : state_(std::move(state)), id_(id) {}

StopRegistration::StopRegistration(StopRegistration&& other) noexcept
    : state_(std::move(other.state_)), id_(std::exchange(other.id_, 0)) {}

StopRegistration& StopRegistration::operator=(StopRegistration&& other) noexcept {
  if (this != &other) {
    reset();
    state_ = std::move(other.state_);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

StopRegistration::~StopRegistration() { reset(); }

void StopRegistration::reset() noexcept {
  if (!state_) return;
  {
    std::lock_guard lock(state_->mutex);
    std::erase_if(state_->callbacks, [this](const auto& entry) { return entry.first == id_; });
  }
  state_.reset();
  id_ = 0;
}

bool StopToken::stopRequested() const noexcept {
  if (!state_) return false;
  std::lock_guard lock(state_->mutex);
  return state_->requested;
}

bool StopToken::sleepFor(std::chrono::nanoseconds duration) const {
  if (!state_) {
    std::mutex sleeping;
    std::condition_variable never;
    std::unique_lock lock(sleeping);
    never.wait_for(lock, duration, [] { return false; });
    return false;
  }
  std::unique_lock lock(state_->mutex);
  return state_->stopped.wait_for(lock, duration, [this] { return state_->requested; });
}

StopRegistration StopToken::onStop(std::function<void()> callback) const {
  if (!state_) return {};
  {
    std::lock_guard lock(state_->mutex);
    if (!state_->requested) {
      const std::uint64_t id = state_->nextID++;
      state_->callbacks.emplace_back(id, std::move(callback));
      return StopRegistration(state_, id);
    }
  }
  callback();
  return {};
}

StopSource::StopSource() : state_(std::make_shared<detail::StopState>()) {}

bool StopSource::requestStop() const {
  std::vector<std::pair<std::uint64_t, std::function<void()>>> callbacks;
  {
    std::lock_guard lock(state_->mutex);
    if (state_->requested) return false;
    state_->requested = true;
    callbacks.swap(state_->callbacks);
  }
  state_->stopped.notify_all();
  for (auto& entry : callbacks) entry.second();
  return true;
}

}  // namespace pellucor::platform
