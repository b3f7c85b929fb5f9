#include "driver/request_executor.hpp"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

#include "fake_components.hpp"
#include "platform/platform_error.hpp"
#include "wire/json_encoder.hpp"

namespace pellucor {
namespace {

using testing::DriverScript;
using testing::FakeClock;
using testing::FakeIdentity;
using testing::FakeNative;
using testing::NativeCall;

constexpr std::uint64_t kSecond = 1'000'000'000;
constexpr std::int64_t kMillisecond = 1'000'000;
const std::string kNonce = "q83vEjRWeJq83vEjRWeJq83vEjRWeJq83vEjRWeJq8Q";

Request makeRequest(PellucorOperation operation) {
  Request request;
  request.requestID = "6f1c2a4e-8b3d-4f7a-9c2e-1d5b7a9e3c40";
  request.nonce = kNonce;
  request.operation = operation;
  request.target = Target{501, "com.brevant.zorvane", true, 12, "plugin.application", "0123456789abcdef01234567",
                          "Example", "1.0"};
  if (operation == PellucorOperation::key || operation == PellucorOperation::hotkey) request.key = PhysicalKey::a;
  if (operation == PellucorOperation::hotkey) request.modifiers = {KeyModifier::shift, KeyModifier::command};
  return request;
}

// One executor over scripted fakes and a hand-moved clock.
struct Harness {
  DriverScript script;
  FakeClock clock;
  Response execute(const Request& request) {
    FakeIdentity identity(script);
    FakeNative native(script);
    return RequestExecutor(identity, native, clock).execute(request);
  }
};

std::string errorOf(const Response& response) {
  return response.error ? response.error->code + " / " + response.error->message : "no error";
}

TEST(RequestExecutor, EachOperationMakesItsOneNativeCallWithinItsBudget) {
  const struct {
    PellucorOperation operation;
    const char* call;
    std::uint64_t budgetSeconds;
  } cases[] = {
      {PellucorOperation::observeAX, "observeAX", 5},
      {PellucorOperation::enumerateTargetWindows, "enumerateWindows", 3},
      {PellucorOperation::captureTargetWindow, "captureWindow", 7},
      {PellucorOperation::key, "postKey", 1},
      {PellucorOperation::hotkey, "postKey", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    Harness harness;
    harness.clock.setUptime(42 * kSecond);
    const Request request = makeRequest(c.operation);
    const Response response = harness.execute(request);

    EXPECT_EQ(harness.script.identityChecks, 1);
    ASSERT_EQ(harness.script.nativeCalls.size(), 1u);
    const NativeCall& call = harness.script.nativeCalls[0];
    EXPECT_EQ(call.operation, c.call);
    EXPECT_EQ(call.target, request.target);
    EXPECT_EQ(call.key, request.key);
    EXPECT_EQ(call.modifiers, request.modifiers) << "the modifier list is passed on in the order sent";
    EXPECT_EQ(call.deadlineNanoseconds, 42 * kSecond + c.budgetSeconds * kSecond);

    EXPECT_TRUE(response.ok);
    EXPECT_EQ(response.protocolVersion, "zor-vane.pellucor/v2");
    EXPECT_EQ(response.requestID, "6f1c2a4e-8b3d-4f7a-9c2e-1d5b7a9e3c40");
    EXPECT_EQ(response.nonce, kNonce);
    EXPECT_EQ(response.operation, wireName(c.operation));
    EXPECT_EQ(response.target, testing::exampleExecution().observation);
    EXPECT_EQ(response.result, testing::exampleExecution().result);
    EXPECT_EQ(response.error, std::nullopt);
  }
}

TEST(RequestExecutor, IdentityCheckThatUsesUpTheBudgetEndsTheRequest) {
  const struct {
    const char* name;
    PellucorOperation operation;
    std::uint64_t identityTakes;
    bool timesOut;
  } cases[] = {
      {"key, 1.2 s", PellucorOperation::key, 1'200'000'000, true},
      {"key, exactly 1 s", PellucorOperation::key, kSecond, true},
      {"key, 1 ns short of 1 s", PellucorOperation::key, kSecond - 1, false},
      {"hotkey, 1 s", PellucorOperation::hotkey, kSecond, true},
      {"observe_ax, 4.9 s", PellucorOperation::observeAX, 4'900'000'000, false},
      {"observe_ax, 5 s", PellucorOperation::observeAX, 5 * kSecond, true},
      {"enumerate, 3 s", PellucorOperation::enumerateTargetWindows, 3 * kSecond, true},
      {"capture, 6.999 s", PellucorOperation::captureTargetWindow, 6'999'000'000, false},
      {"capture, 7 s", PellucorOperation::captureTargetWindow, 7 * kSecond, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Harness harness;
    harness.script.identity = [&harness, &c] { harness.clock.advanceUptime(c.identityTakes); };
    const Response response = harness.execute(makeRequest(c.operation));
    if (c.timesOut) {
      EXPECT_EQ(errorOf(response), "operation_timeout / operation exceeded its monotonic deadline");
      EXPECT_TRUE(harness.script.nativeCalls.empty()) << "a native operation ran after the deadline";
      EXPECT_FALSE(response.ok);
      EXPECT_EQ(response.target, std::nullopt);
      EXPECT_EQ(response.result, std::nullopt);
    } else {
      EXPECT_TRUE(response.ok) << errorOf(response);
      EXPECT_EQ(harness.script.nativeCalls.size(), 1u);
    }
  }
}

TEST(RequestExecutor, FailuresBecomeTheResponseError) {
  const struct {
    const char* name;
    std::function<void()> identity;
    std::function<NativeExecution(const NativeCall&)> native;
    const char* expected;
    bool retryable;
    bool nativeCalled;
  } cases[] = {
      {"identity refusal passes through unchanged",
       [] { throw PellucorError("invalid_ancestry", "parent is not the host", true); }, nullptr,
       "invalid_ancestry / parent is not the host", true, false},
      {"identity platform error", [] { throw platform::PlatformError("code object unavailable", -67062); }, nullptr,
       "operation_failed / native operation failed closed", false, false},
      {"identity throws something else", [] { throw 7; }, nullptr,
       "operation_failed / native operation failed closed", false, false},
      {"native refusal passes through unchanged", nullptr,
       [](const NativeCall&) -> NativeExecution { throw PellucorError("wrong_frontmost", "target is not frontmost"); },
       "wrong_frontmost / target is not frontmost", false, true},
      {"native platform error", nullptr,
       [](const NativeCall&) -> NativeExecution { throw platform::PlatformError("AX failure", -25204); },
       "operation_failed / native operation failed closed", false, true},
      {"native runtime error", nullptr,
       [](const NativeCall&) -> NativeExecution { throw std::runtime_error("surprise"); },
       "operation_failed / native operation failed closed", false, true},
      {"native memory exhaustion", nullptr,
       [](const NativeCall&) -> NativeExecution { throw std::bad_alloc(); },
       "operation_failed / native operation failed closed", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Harness harness;
    harness.script.identity = c.identity;
    harness.script.native = c.native;
    const Response response = harness.execute(makeRequest(PellucorOperation::observeAX));
    EXPECT_FALSE(response.ok);
    EXPECT_EQ(errorOf(response), c.expected);
    ASSERT_TRUE(response.error.has_value());
    EXPECT_EQ(response.error->retryable, c.retryable);
    EXPECT_EQ(response.target, std::nullopt);
    EXPECT_EQ(response.result, std::nullopt);
    EXPECT_EQ(harness.script.nativeCalls.size(), c.nativeCalled ? 1u : 0u);
    EXPECT_EQ(response.requestID, "6f1c2a4e-8b3d-4f7a-9c2e-1d5b7a9e3c40");
    EXPECT_EQ(response.nonce, kNonce);
    EXPECT_EQ(response.operation, "observe_ax");
  }
}

TEST(RequestExecutor, KeyRequestWithoutAKeyNeverTouchesTheKeyboard) {
  for (const auto operation : {PellucorOperation::key, PellucorOperation::hotkey}) {
    SCOPED_TRACE(std::string(wireName(operation)));
    Harness harness;
    Request request = makeRequest(operation);
    request.key.reset();
    const Response response = harness.execute(request);
    EXPECT_EQ(errorOf(response), "invalid_params / physical key is missing");
    EXPECT_EQ(harness.script.identityChecks, 1);
    EXPECT_TRUE(harness.script.nativeCalls.empty());
    EXPECT_EQ(response.operation, wireName(operation));
  }
}

TEST(RequestExecutor, DurationComesFromTheWallClockAndIsNeverNegative) {
  const struct {
    const char* name;
    std::int64_t identityMoves;
    std::int64_t nativeMoves;
    bool identityFails;
    std::int64_t expected;
  } cases[] = {
      {"truncated to whole milliseconds", 0, 1234 * kMillisecond + 999'999, false, 1234},
      {"time up to an identity failure", 250 * kMillisecond, 0, true, 250},
      {"clock set back during the request", -10'000 * kMillisecond, 3 * kMillisecond, false, 0},
      {"clock set back before an identity failure", -2 * kMillisecond, 0, true, 0},
      {"monotonic time does not count", 0, 0, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Harness harness;
    harness.script.identity = [&harness, &c] {
      harness.clock.advanceWall(c.identityMoves);
      harness.clock.advanceUptime(500'000'000);
      if (c.identityFails) throw PellucorError("invalid_signature", "helper signature is invalid");
    };
    harness.script.native = [&harness, &c](const NativeCall&) {
      harness.clock.advanceWall(c.nativeMoves);
      return testing::exampleExecution();
    };
    EXPECT_EQ(harness.execute(makeRequest(PellucorOperation::observeAX)).durationMS, c.expected);
  }
}

// The success response for an empty result string, written out in full: the
// measured size of any other result string is this length, plus one for the
// protocol's "/", plus the string's own measured length less two quotes.
const std::string kSuccessWithEmptyResult =
    R"({"duration_ms":0,"nonce":"q83vEjRWeJq83vEjRWeJq83vEjRWeJq83vEjRWeJq8Q","ok":true,"operation":"observe_ax",)"
    R"("protocol":"zor-vane.pellucor/v2","request_id":"6f1c2a4e-8b3d-4f7a-9c2e-1d5b7a9e3c40","result":"",)"
    R"("target":{"application_id":"0123456789abcdef01234567","application_name":"Example",)"
    R"("application_revision":"1.0","bundle_id":"com.brevant.zorvane","pid":501,"surface":"plugin.application",)"
    R"("window_id":12}})";

TEST(RequestExecutor, SuccessResponseIsMeasuredWithEverySlashCountedTwice) {
  constexpr std::size_t kCeiling = 16777216;
  const std::size_t base = kSuccessWithEmptyResult.size() + 1;
  const std::size_t room = kCeiling - base;  // result bytes that exactly fill the ceiling
  constexpr std::size_t kSlashes = 1000;
  const struct {
    const char* name;
    std::string result;
    bool fits;
  } cases[] = {
      {"exactly 16777216 bytes", std::string(room, 'a'), true},
      {"16777217 bytes", std::string(room + 1, 'a'), false},
      {"exactly 16777216 with slashes counted twice",
       std::string(kSlashes, '/') + std::string(room - 2 * kSlashes, 'a'), true},
      {"one slash too many, although the written form would fit",
       std::string(kSlashes + 1, '/') + std::string(room - 2 * kSlashes - 1, 'a'), false},
      {"a result that cannot be encoded", "caf\xC3", false},
  };
  {
    Harness harness;
    harness.script.native = [](const NativeCall&) {
      return NativeExecution{testing::exampleExecution().observation, JSONValue("")};
    };
    ASSERT_EQ(json::encode(harness.execute(makeRequest(PellucorOperation::observeAX))), kSuccessWithEmptyResult);
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Harness harness;
    // Every wall-clock reading is 5 ms after the one before: the start, the
    // end of the operation, and the new end after a failed measurement.
    harness.clock.setWallStep(5 * kMillisecond);
    harness.script.native = [&c](const NativeCall&) {
      return NativeExecution{testing::exampleExecution().observation, JSONValue(c.result)};
    };
    const Response response = harness.execute(makeRequest(PellucorOperation::observeAX));
    EXPECT_EQ(response.ok, c.fits);
    EXPECT_EQ(response.target, testing::exampleExecution().observation) << "the verified target is kept";
    if (c.fits) {
      EXPECT_EQ(response.error, std::nullopt);
      ASSERT_TRUE(response.result.has_value());
      EXPECT_EQ(response.result->asString().size(), c.result.size());
      EXPECT_EQ(response.durationMS, 5);
    } else {
      EXPECT_EQ(errorOf(response), "response_too_large / response exceeds 16 MiB");
      EXPECT_FALSE(response.error->retryable);
      EXPECT_EQ(response.result, std::nullopt);
      EXPECT_EQ(response.durationMS, 10) << "the duration is taken again after the measurement";
    }
  }
}

}  // namespace
}  // namespace pellucor
