#pragma once

#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include "platform/stop_token.hpp"
#include <thread>
#include <utility>
#include <variant>

#include "native/monotonic_deadline.hpp"

namespace pellucor {

// The one-shot hand-over between an asynchronous operation and the caller that
// waits for it. The first resolution wins; every later one is dropped. The lock
// guards nothing but the state and is never held while anybody is woken.
template <typename T>
class AsyncResultGate {
 public:
  using Outcome = std::variant<T, std::exception_ptr>;

  // True when this call completed the gate; false when it was already
  // completed, in which case `outcome` is dropped.
  bool resolve(Outcome outcome) {
    {
      std::lock_guard lock(mutex_);
      if (completed_) return false;
      completed_ = true;
      outcome_.emplace(std::move(outcome));
    }
    resumed_.notify_all();
    return true;
  }

  // Waits until the gate is completed or `timeout` has passed; gives the
  // outcome, or nothing when the time ran out first. A timeout beyond what the
  // steady clock can express from now (a deadline that never passes) waits
  // for the outcome alone, rather than overflowing into a time in the past.
  std::optional<Outcome> waitFor(std::chrono::nanoseconds timeout) {
    std::unique_lock lock(mutex_);
    const auto completed = [this] { return completed_; };
    const auto now = std::chrono::steady_clock::now();
    if (timeout >= std::chrono::steady_clock::time_point::max() - now) {
      resumed_.wait(lock, completed);
    } else if (!resumed_.wait_until(lock, now + timeout, completed)) {
      return std::nullopt;
    }
    return std::move(outcome_);
  }

 private:
  std::mutex mutex_;
  std::condition_variable resumed_;
  bool completed_ = false;
  std::optional<Outcome> outcome_;
};

// Runs `operation` on a worker thread and waits for its outcome or for the
// deadline, whichever comes first, resuming the caller exactly once.
//
// - The deadline has passed on entry: "operation_timeout" / "operation
//   exceeded its monotonic deadline"; the operation is never started.
// - The operation ends first: its value, or its own error unchanged.
// - The deadline comes first: "operation_timeout" / "native async operation
//   exceeded its monotonic deadline", and the operation is asked to stop
//   through its stop token after the caller has been resumed. Stopping is
//   cooperative: the worker may run on, and its late outcome is dropped.
//
// The worker is detached: it owns the operation and shares only the gate, so
// the operation must own (or share ownership of) whatever it touches.
template <typename T>
T bounded(const MonotonicDeadline& deadline, std::function<T(platform::StopToken)> operation) {
  if (deadline.isExpired()) fail(deadline_errors::kExpired);
  const std::uint64_t left = deadline.remainingNanoseconds();
  constexpr auto kLongest = static_cast<std::uint64_t>(std::chrono::nanoseconds::max().count());
  const std::chrono::nanoseconds remaining(static_cast<std::int64_t>(left < kLongest ? left : kLongest));

  using Outcome = typename AsyncResultGate<T>::Outcome;
  auto gate = std::make_shared<AsyncResultGate<T>>();
  platform::StopSource stop;
  std::thread([gate, token = stop.token(), work = std::move(operation)]() mutable {
    Outcome outcome = [&]() -> Outcome {
      try {
        return Outcome(std::in_place_index<0>, work(token));
      } catch (...) {
        return Outcome(std::in_place_index<1>, std::current_exception());
      }
    }();
    gate->resolve(std::move(outcome));
  }).detach();

  auto outcome = gate->waitFor(remaining);
  if (!outcome) {
    const bool timerWon =
        gate->resolve(Outcome(std::in_place_index<1>,
                              std::make_exception_ptr(PellucorError(deadline_errors::kAsyncExpired))));
    if (timerWon) {
      stop.requestStop();
      fail(deadline_errors::kAsyncExpired);
    }
    // The operation completed the gate between the wait and the timer.
    outcome = gate->waitFor(std::chrono::nanoseconds::zero());
  }
  if (auto* error = std::get_if<std::exception_ptr>(&*outcome)) std::rethrow_exception(*error);
  return std::move(std::get<T>(*outcome));
}

}  // namespace pellucor
