#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace pellucor::platform {

namespace detail {
struct StopState;
}

class StopToken;

// Ends the interest of one StopToken::onStop callback when destroyed. A stop
// asked for on another thread at that very moment may still run the callback
// once after the destructor has returned, so a callback touches only state it
// shares ownership of.
class StopRegistration {
 public:
  StopRegistration() = default;
  StopRegistration(StopRegistration&& other) noexcept;
  StopRegistration& operator=(StopRegistration&& other) noexcept;
  StopRegistration(const StopRegistration&) = delete;
  StopRegistration& operator=(const StopRegistration&) = delete;
  ~StopRegistration();

 private:
  friend class StopToken;
  StopRegistration(std::shared_ptr<detail::StopState> state, std::uint64_t id) noexcept;
  void reset() noexcept;

  std::shared_ptr<detail::StopState> state_;
  std::uint64_t id_ = 0;
};

// The reading side of a shared stop flag: it tells whether a stop has been
// asked for, and lets a blocked call wake early when it is. Copies share the
// flag; every member may be called from any thread. A default token has no
// flag and is never asked to stop.
//
// This is the portable subset of std::stop_token that the bounded waits and
// the platform's blocking calls need; Apple's libc++ of the oldest SDK we
// build with does not provide std::stop_token.
class StopToken {
 public:
  StopToken() = default;

  // True once the source has asked for a stop; never false again after.
  bool stopRequested() const noexcept;
  // False for a default token, which no source can ever stop.
  bool stopPossible() const noexcept { return state_ != nullptr; }

  // Sleeps for `duration`, or less when a stop is asked for meanwhile. True
  // when it ended because of a stop (also when one was asked for before).
  bool sleepFor(std::chrono::nanoseconds duration) const;

  // Calls `callback` exactly once when a stop is asked for: at once on this
  // thread when one already was, otherwise on the thread that asks for it.
  // Never calls it for a default token. The callback must not throw and must
  // not block; it typically sets a flag and wakes a waiter.
  [[nodiscard]] StopRegistration onStop(std::function<void()> callback) const;

 private:
  friend class StopSource;
  explicit StopToken(std::shared_ptr<detail::StopState> state) noexcept : state_(std::move(state)) {}

  std::shared_ptr<detail::StopState> state_;
};

// The owning side of a shared stop flag.
class StopSource {
 public:
  StopSource();

  StopToken token() const noexcept { return StopToken(state_); }
  // Asks for a stop and runs the registered callbacks on this thread. True
  // when this call asked first; later calls do nothing and give false.
  bool requestStop() const;

 private:
  std::shared_ptr<detail::StopState> state_;
};

}  // namespace pellucor::platform
