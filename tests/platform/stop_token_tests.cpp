#include "platform/stop_token.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace pellucor::platform {
namespace {

using namespace std::chrono_literals;

TEST(StopToken, ADefaultTokenIsNeverStoppedAndNeverCallsBack) {
  const StopToken token;
  int calls = 0;
  const StopRegistration registration = token.onStop([&calls] { ++calls; });
  EXPECT_FALSE(token.stopPossible());
  EXPECT_FALSE(token.stopRequested());
  EXPECT_FALSE(token.sleepFor(1ms));
  EXPECT_EQ(calls, 0);
}

TEST(StopToken, TheFirstRequestStopsEveryCopyAndRunsEachCallbackOnce) {
  const StopSource source;
  const StopToken token = source.token();
  const StopToken copy = token;
  int calls = 0;
  const StopRegistration registration = token.onStop([&calls] { ++calls; });
  int dropped = 0;
  { const StopRegistration ended = token.onStop([&dropped] { ++dropped; }); }

  EXPECT_TRUE(source.requestStop());
  EXPECT_FALSE(source.requestStop());
  EXPECT_TRUE(copy.stopRequested());
  EXPECT_EQ(calls, 1) << "a registered callback runs once, on the requesting thread";
  EXPECT_EQ(dropped, 0) << "a callback whose registration has ended never runs";

  int late = 0;
  const StopRegistration afterwards = copy.onStop([&late] { ++late; });
  EXPECT_EQ(late, 1) << "a callback registered after the stop runs at once";
  EXPECT_TRUE(copy.sleepFor(10min)) << "a sleep after the stop does not sleep";
}

TEST(StopToken, AStopFromAnotherThreadEndsASleepEarly) {
  const StopSource source;
  std::thread stopper([source] {
    std::this_thread::sleep_for(20ms);
    source.requestStop();
  });
  // A stop that did not end the sleep would hold this test for ten minutes.
  EXPECT_TRUE(source.token().sleepFor(10min));
  stopper.join();
}

}  // namespace
}  // namespace pellucor::platform
