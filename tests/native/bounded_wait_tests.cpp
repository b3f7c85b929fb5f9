#include "native/bounded_wait.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <latch>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "error_outcome.hpp"
#include "platform/platform_error.hpp"

namespace pellucor {
namespace {

using namespace std::chrono_literals;
using testing::failureOf;

// A deadline whose clock stands still at 1 s of uptime unless moved.
struct StillClock {
  std::shared_ptr<std::atomic<std::uint64_t>> reading =
      std::make_shared<std::atomic<std::uint64_t>>(1'000'000'000);
  MonotonicDeadline deadline(double seconds) const {
    return MonotonicDeadline(seconds, [reading = reading] { return reading->load(); });
  }
  void advance(std::uint64_t nanoseconds) const { reading->fetch_add(nanoseconds); }
};

// What every worker shares with its test. The worker is detached, so it holds
// this by shared pointer and counts `finished` down as its very last act on
// it; each test waits for that before it ends.
struct WorkerState {
  std::atomic<bool> started{false};
  std::atomic<bool> sawStopRequest{false};
  std::latch finished{1};
};

constexpr const char* kExpired = "operation_timeout / operation exceeded its monotonic deadline";
constexpr const char* kAsyncExpired = "operation_timeout / native async operation exceeded its monotonic deadline";

TEST(BoundedWait, DeadlinePassedOnEntryNeverStartsTheOperation) {
  const StillClock clock;
  const MonotonicDeadline deadline = clock.deadline(1);
  clock.advance(1'000'000'000);  // exactly at the deadline
  auto state = std::make_shared<WorkerState>();
  EXPECT_EQ(failureOf([&] {
              bounded<int>(deadline, [state](platform::StopToken) {
                state->started = true;
                return 1;
              });
            }),
            kExpired);
}

TEST(BoundedWait, ValueBeforeTheDeadlineIsReturned) {
  const StillClock clock;
  auto state = std::make_shared<WorkerState>();
  const std::string value = bounded<std::string>(clock.deadline(5), [state](platform::StopToken) {
    std::this_thread::sleep_for(10ms);
    state->finished.count_down();
    return std::string("window list");
  });
  EXPECT_EQ(value, "window list");
  state->finished.wait();
}

TEST(BoundedWait, OperationErrorsComeOutUnchanged) {
  const StillClock clock;
  try {
    bounded<int>(clock.deadline(5), [](platform::StopToken) -> int {
      throw platform::PlatformError("the stream could not start", -3801);
    });
    ADD_FAILURE() << "no error";
  } catch (const PellucorError&) {
    ADD_FAILURE() << "a platform error became a PellucorError";
  } catch (const platform::PlatformError& error) {
    EXPECT_STREQ(error.what(), "the stream could not start");
    EXPECT_EQ(error.status(), -3801);
  }
  EXPECT_EQ(failureOf([&] {
              bounded<int>(clock.deadline(5), [](platform::StopToken) -> int {
                throw PellucorError("window_handle_missing", "its own message");
              });
            }),
            "window_handle_missing / its own message");
}

// An operation that runs until it is asked to stop, then returns late.
std::function<int(platform::StopToken)> runUntilStopped(std::shared_ptr<WorkerState> state) {
  return [state](platform::StopToken token) {
    state->started = true;
    // Nothing but the stop request (or five seconds) ends the wait.
    state->sawStopRequest = token.sleepFor(5s);
    state->finished.count_down();
    return 42;
  };
}

TEST(BoundedWait, DeadlineFirstFailsAtOnceAndAsksTheOperationToStop) {
  const StillClock clock;
  auto state = std::make_shared<WorkerState>();
  // 30 ms of real time remain by the still clock.
  const MonotonicDeadline deadline = clock.deadline(0.03);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(failureOf([&] { bounded<int>(deadline, runUntilStopped(state)); }), kAsyncExpired);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4s) << "the caller waited for the operation";
  state->finished.wait();
  EXPECT_TRUE(state->started);
  EXPECT_TRUE(state->sawStopRequest);
}

TEST(BoundedWait, DeadlinePassingAfterTheEntryCheckLeavesNoTimeToWait) {
  // Readings: creation, the entry check one nanosecond early, then the
  // remaining time at the deadline itself.
  auto readings = std::make_shared<std::atomic<int>>(0);
  const MonotonicDeadline deadline(1, [readings] {
    const int n = (*readings)++;
    return n == 0 ? std::uint64_t{0} : n == 1 ? std::uint64_t{999'999'999} : std::uint64_t{1'000'000'000};
  });
  auto state = std::make_shared<WorkerState>();
  EXPECT_EQ(failureOf([&] { bounded<int>(deadline, runUntilStopped(state)); }), kAsyncExpired);
  state->finished.wait();
  EXPECT_TRUE(state->sawStopRequest);
}

TEST(BoundedWait, DeadlineThatNeverPassesWaitsForTheOperation) {
  const StillClock clock;
  const MonotonicDeadline never = clock.deadline(1e30);
  ASSERT_EQ(never.deadlineNanoseconds(), std::numeric_limits<std::uint64_t>::max());
  auto state = std::make_shared<WorkerState>();
  EXPECT_EQ(bounded<int>(never,
                         [state](platform::StopToken) {
                           std::this_thread::sleep_for(20ms);
                           state->finished.count_down();
                           return 7;
                         }),
            7);
  state->finished.wait();
}

TEST(AsyncResultGate, FirstResolutionWinsAndLaterOnesAreDropped) {
  AsyncResultGate<std::string> gate;
  EXPECT_EQ(gate.waitFor(0ns), std::nullopt);
  EXPECT_TRUE(gate.resolve(std::string("first")));
  EXPECT_FALSE(gate.resolve(std::string("late")));
  EXPECT_FALSE(gate.resolve(std::make_exception_ptr(PellucorError("late", "error"))));
  const auto outcome = gate.waitFor(0ns);
  ASSERT_TRUE(outcome.has_value());
  EXPECT_EQ(std::get<std::string>(*outcome), "first");
}

TEST(AsyncResultGate, ExactlyOneOfManyRacingResolversWins) {
  for (int round = 0; round < 20; ++round) {
    AsyncResultGate<int> gate;
    std::atomic<int> winners{0};
    std::latch go(1);
    std::vector<std::thread> racers;
    for (int i = 0; i < 8; ++i) {
      racers.emplace_back([&, i] {
        go.wait();
        if (gate.resolve(i)) ++winners;
      });
    }
    go.count_down();
    const auto outcome = gate.waitFor(5s);
    for (auto& racer : racers) racer.join();
    EXPECT_EQ(winners, 1);
    ASSERT_TRUE(outcome.has_value());
  }
}

// Whether the operation was started is seen in who still holds it: a worker
// owns the operation from the moment it is created, so an operation that
// blocks keeps its captures alive for as long as the test lets it.
TEST(BoundedWait, DeadlinePassedOnEntryReleasesTheOperationUnrun) {
  const StillClock clock;
  const MonotonicDeadline deadline = clock.deadline(1);
  clock.advance(1'000'000'000);  // exactly at the deadline
  auto state = std::make_shared<WorkerState>();
  auto release = std::make_shared<std::latch>(1);
  EXPECT_EQ(failureOf([&] {
              bounded<int>(deadline, [state, release](platform::StopToken) {
                state->started = true;
                release->wait();
                return 1;
              });
            }),
            kExpired);
  EXPECT_EQ(state.use_count(), 1) << "a worker still holds the operation";
  release->count_down();  // lets a wrongly started worker end
}

// Counts a latch down when destroyed: held by an operation, it tells when the
// worker that ran the operation has let go of it, after handing over its
// outcome.
struct CountDownWhenDropped {
  explicit CountDownWhenDropped(std::shared_ptr<std::latch> target) : latch(std::move(target)) {}
  CountDownWhenDropped(const CountDownWhenDropped&) = delete;
  CountDownWhenDropped& operator=(const CountDownWhenDropped&) = delete;
  ~CountDownWhenDropped() { latch->count_down(); }
  std::shared_ptr<std::latch> latch;
};

struct LateOutcomeCase {
  const char* name;
  // What the operation does once the caller has given up on it.
  std::function<std::shared_ptr<int>(std::shared_ptr<int>)> finish;
};

// The operation ends only after the deadline has passed and the caller has
// been resumed with the timeout: the caller is not held back for it, and its
// value or error goes nowhere and is kept by nothing.
TEST(BoundedWait, OutcomeArrivingAfterTheDeadlineIsDropped) {
  const LateOutcomeCase cases[] = {
      {"late value", [](std::shared_ptr<int> value) { return value; }},
      {"late refusal",
       [](std::shared_ptr<int>) -> std::shared_ptr<int> { throw PellucorError("window_handle_missing", "late"); }},
      {"late platform failure",
       [](std::shared_ptr<int>) -> std::shared_ptr<int> { throw platform::PlatformError("late", -3801); }},
  };
  for (const LateOutcomeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const StillClock clock;
    auto value = std::make_shared<int>(7);
    const std::weak_ptr<int> lateValue = value;
    std::promise<void> callerBack;
    auto workerDone = std::make_shared<std::latch>(1);
    auto endedAfterCaller = std::make_shared<std::atomic<bool>>(false);
    auto dropped = std::make_shared<CountDownWhenDropped>(workerDone);
    const std::string outcome = failureOf([&] {
      static_cast<void>(bounded<std::shared_ptr<int>>(
          clock.deadline(0.03), [value = std::move(value), back = callerBack.get_future().share(), endedAfterCaller, dropped = std::move(dropped),
                                 finish = c.finish](platform::StopToken) mutable {
            // Ignores the stop request: only the caller's return, or five
            // seconds, end the wait.
            *endedAfterCaller = back.wait_for(5s) == std::future_status::ready;
            return finish(std::move(value));
          }));
    });
    callerBack.set_value();
    workerDone->wait();
    EXPECT_EQ(outcome, kAsyncExpired);
    EXPECT_TRUE(*endedAfterCaller) << "the caller waited for the operation";
    EXPECT_TRUE(lateValue.expired()) << "the late value was kept";
  }
}

}  // namespace
}  // namespace pellucor
