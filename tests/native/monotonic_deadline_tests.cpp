#include "native/monotonic_deadline.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>

namespace pellucor {
namespace {

constexpr std::uint64_t kLargest = std::numeric_limits<std::uint64_t>::max();

// A clock set by hand that counts how often it is read.
struct CountingClock {
  std::shared_ptr<std::atomic<std::uint64_t>> reading = std::make_shared<std::atomic<std::uint64_t>>(0);
  std::shared_ptr<std::atomic<int>> readings = std::make_shared<std::atomic<int>>(0);

  MonotonicDeadline::Now now() const {
    return [reading = reading, readings = readings] {
      ++*readings;
      return reading->load();
    };
  }
  void set(std::uint64_t value) const { reading->store(value); }
  int count() const { return readings->load(); }
};

TEST(MonotonicDeadline, IsTheReadingAtCreationPlusTheBudget) {
  const CountingClock clock;
  clock.set(1000);
  const MonotonicDeadline deadline(5, clock.now());
  EXPECT_EQ(clock.count(), 1);
  EXPECT_EQ(deadline.deadlineNanoseconds(), 5'000'001'000u);
  EXPECT_EQ(MonotonicDeadline(0.5, clock.now()).deadlineNanoseconds(), 500'001'000u);
}

TEST(MonotonicDeadline, AReadingEqualToTheDeadlineHasPassed) {
  const CountingClock clock;
  clock.set(1000);
  const MonotonicDeadline deadline(1, clock.now());
  const std::uint64_t at = deadline.deadlineNanoseconds();
  const struct {
    const char* name;
    std::uint64_t reading;
    bool expired;
    std::uint64_t remaining;
  } cases[] = {
      {"at creation", 1000, false, 1'000'000'000},
      {"one nanosecond before", at - 1, false, 1},
      {"exactly at the deadline", at, true, 0},
      {"one nanosecond after", at + 1, true, 0},
      {"long after", kLargest, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    clock.set(c.reading);
    const int before = clock.count();
    EXPECT_EQ(deadline.isExpired(), c.expired);
    EXPECT_EQ(deadline.remainingNanoseconds(), c.remaining);
    EXPECT_EQ(clock.count(), before + 2) << "each reading takes the clock exactly once";
    if (c.expired) {
      try {
        deadline.check();
        ADD_FAILURE() << "check passed an expired deadline";
      } catch (const PellucorError& error) {
        EXPECT_EQ(error.code, "operation_timeout");
        EXPECT_EQ(error.message, "operation exceeded its monotonic deadline");
        EXPECT_FALSE(error.retryable);
      }
    } else {
      EXPECT_NO_THROW(deadline.check());
    }
  }
}

TEST(MonotonicDeadline, SaturatesInsteadOfWrapping) {
  const CountingClock clock;
  clock.set(kLargest - 10);
  const MonotonicDeadline nearTheEnd(1, clock.now());
  EXPECT_EQ(nearTheEnd.deadlineNanoseconds(), kLargest);
  clock.set(kLargest - 1);
  EXPECT_FALSE(nearTheEnd.isExpired());
  EXPECT_EQ(nearTheEnd.remainingNanoseconds(), 1u);

  clock.set(1);
  EXPECT_EQ(MonotonicDeadline(1e30, clock.now()).deadlineNanoseconds(), kLargest);
  EXPECT_EQ(MonotonicDeadline(std::numeric_limits<double>::infinity(), clock.now()).deadlineNanoseconds(),
            kLargest);
  // 2^64 ns is not representable; one step below it still adds up.
  EXPECT_EQ(MonotonicDeadline(18446744073.709551616, clock.now()).deadlineNanoseconds(), kLargest);
}

TEST(MonotonicDeadline, DurationThatIsNotPositiveHasPassedAtOnce) {
  const CountingClock clock;
  clock.set(777);
  for (const double seconds : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(),
                               -std::numeric_limits<double>::infinity()}) {
    const MonotonicDeadline deadline(seconds, clock.now());
    EXPECT_EQ(deadline.deadlineNanoseconds(), 777u) << seconds;
    EXPECT_TRUE(deadline.isExpired()) << seconds;
  }
}

TEST(MonotonicDeadline, CopiesShareTheClock) {
  const CountingClock clock;
  clock.set(0);
  const MonotonicDeadline original(1, clock.now());
  const MonotonicDeadline copy = original;
  clock.set(2'000'000'000);
  EXPECT_TRUE(original.isExpired());
  EXPECT_TRUE(copy.isExpired());
}

}  // namespace
}  // namespace pellucor
