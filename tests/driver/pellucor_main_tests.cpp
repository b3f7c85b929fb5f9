#include "driver/pellucor_main.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/invocation_mode.hpp"
#include "driver_test_lines.hpp"
#include "fake_components.hpp"
#include "platform/platform_error.hpp"
#include "support/test_pipe.hpp"

namespace pellucor {
namespace {

using testing::DriverScript;
using testing::FakeClock;
using testing::FakeComponents;
using testing::NativeCall;
using testing::TestPipe;

using testing::approvalLines;
using testing::fallbackResponse;
using testing::kApprovalArgument;
using testing::kKeyRefusedResponse;
using testing::kKeyRequestLine;
using testing::kKeySuccessResponse;

// One run of the entry over scripted fakes, its standard input a pipe.
struct EntryRun {
  DriverScript script;
  FakeClock clock;
  TestPipe input;

  ProcessOutput operator()(const std::vector<std::string>& arguments, std::string stdinBytes) {
    input.send(std::move(stdinBytes));
    FakeComponents components(script, clock);
    ProcessOutput output = PellucorMain::run(arguments, input.readEnd(), components);
    identityBuilt = components.identityBuilt;
    nativeBuilt = components.nativeBuilt;
    approvalBuilt = components.approvalBuilt;
    return output;
  }
  int identityBuilt = 0;
  int nativeBuilt = 0;
  int approvalBuilt = 0;
};

// The writes of a run as one readable text: "1:" or "2:" and the bytes of
// each write, one write per line of the picture.
std::string picture(const ProcessOutput& output) {
  std::string text;
  for (const auto& write : output.writes) text += std::to_string(write.fd) + ":" + write.bytes + "|";
  return text + "status " + std::to_string(output.status);
}

std::string fallback(const std::string& code, const std::string& message) {
  return "1:" + fallbackResponse(code, message) + "|1:\n|status 64";
}

TEST(InvocationMode, OnlyTheEmptyListAndTheExactApprovalArgument) {
  EXPECT_EQ(parseInvocationMode(std::vector<std::string>{}), InvocationMode::request);
  EXPECT_EQ(parseInvocationMode(std::vector<std::string>{kApprovalArgument}), InvocationMode::approvalControl);
  try {
    parseInvocationMode(std::vector<std::string>{"x"});
    ADD_FAILURE() << "accepted";
  } catch (const PellucorError& error) {
    EXPECT_EQ(error.code, "invalid_invocation");
    EXPECT_EQ(error.message, "only the compiled approval argv enum is accepted");
    EXPECT_FALSE(error.retryable);
  }
}

TEST(PellucorMain, RefusedInvocationWritesOneLineAndNeverReadsStandardInput) {
  const std::string approval = kApprovalArgument;
  const std::vector<std::string> refused[] = {
      {""},
      {"x"},
      {approval, approval},
      {approval, ""},
      {approval + " "},
      {" " + approval},
      {"--approval-control=ACCESSIBILITY-and-screen-recording"},
      {"--approval-control"},
      {approval.substr(0, approval.size() - 1)},
      {approval + std::string(1, '\0')},
  };
  for (const auto& arguments : refused) {
    SCOPED_TRACE(arguments.size() == 1 ? "[" + arguments[0] + "]" : std::to_string(arguments.size()) + " arguments");
    EntryRun run;
    const ProcessOutput output = run(arguments, std::string(kKeyRequestLine) + "\n");
    EXPECT_EQ(picture(output), "2:invalid compiled invocation\n|status 64");
    EXPECT_EQ(run.input.unread(), std::string(kKeyRequestLine) + "\n");
    EXPECT_EQ(run.identityBuilt + run.nativeBuilt + run.approvalBuilt, 0);
  }
}

TEST(PellucorMain, IntakeFailuresAnswerWithTheFallbackResponse) {
  std::string differentID = kKeyRequestLine;
  differentID.replace(differentID.find("\"pid\":501"), 9, "\"pid\":0");
  const struct {
    const char* name;
    std::string input;
    std::string expected;
  } cases[] = {
      {"empty input", "", fallback("unterminated_request", "request must end with LF")},
      {"second line", "{}\n\n", fallback("multiple_requests", "second request line is forbidden")},
      {"trailing input", "{}\nx", fallback("multiple_requests", "trailing input after request line")},
      {"too large", std::string(65537, ' '), fallback("request_too_large", "request exceeds 65536 bytes")},
      {"lone line feed", "\n", fallback("invalid_json", "malformed JSON")},
      {"decoder error does not echo the request's identifier", differentID + "\n",
       fallback("invalid_target", "target binding is incomplete")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EntryRun run;
    EXPECT_EQ(picture(run({}, c.input)), c.expected);
    EXPECT_EQ(run.identityBuilt + run.nativeBuilt + run.approvalBuilt, 0);
  }
}

// A clock that fails when asked for the calendar time, so that reading the
// request fails with something other than a PellucorError.
class BrokenWallClock final : public platform::Clock {
 public:
  std::uint64_t uptimeNanoseconds() const override { return 0; }
  std::int64_t wallNanoseconds() const override { throw std::runtime_error("no calendar time"); }
};

TEST(PellucorMain, IntakeFailureOfAnotherKindIsAnInternalError) {
  DriverScript script;
  BrokenWallClock clock;
  TestPipe input;
  input.send(std::string(kKeyRequestLine) + "\n");
  FakeComponents components(script, clock);
  EXPECT_EQ(picture(PellucorMain::run({}, input.readEnd(), components)),
            fallback("internal_error", "request failed closed"));
}

TEST(PellucorMain, ExecutedResponseIsWrittenWithItsStatus) {
  {
    EntryRun run;
    EXPECT_EQ(picture(run({}, std::string(kKeyRequestLine) + "\n \t")),
              "1:" + std::string(kKeySuccessResponse) + "|1:\n|status 0");
    ASSERT_EQ(run.script.nativeCalls.size(), 1u);
    EXPECT_EQ(run.script.nativeCalls[0].key, PhysicalKey::a);
    EXPECT_EQ(run.identityBuilt, 1);
    EXPECT_EQ(run.approvalBuilt, 0);
  }
  {
    EntryRun run;
    run.script.native = [](const NativeCall&) -> NativeExecution {
      throw PellucorError("wrong_frontmost", "target is not frontmost");
    };
    EXPECT_EQ(picture(run({}, std::string(kKeyRequestLine) + "\n")),
              "1:" + std::string(kKeyRefusedResponse) + "|1:\n|status 64");
  }
}

// The refusal of kKeyRequestLine with `code` and `message` in place of the
// native operation's.
std::string keyRefusal(const std::string& code, const std::string& message) {
  std::string response = kKeyRefusedResponse;
  const std::string nativeCode = "wrong_frontmost";
  response.replace(response.find(nativeCode), nativeCode.size(), code);
  const std::string nativeMessage = "target is not frontmost";
  response.replace(response.find(nativeMessage), nativeMessage.size(), message);
  return "1:" + response + "|1:\n|status 64";
}

TEST(PellucorMain, SystemObjectsThatCannotBeBuiltAreAnsweredAsAFailedOperation) {
  const std::string operationFailed = keyRefusal("operation_failed", "native operation failed closed");
  const struct {
    const char* name;
    std::function<void(DriverScript&)> breakIt;
    std::string expected;
  } cases[] = {
      {"identity validator", [](DriverScript& s) { s.buildIdentity = [] { throw std::runtime_error("no code"); }; },
       operationFailed},
      {"native operations",
       [](DriverScript& s) { s.buildNative = [] { throw platform::PlatformError("no window server", -1); }; },
       operationFailed},
      {"a refusal of its own passes unchanged",
       [](DriverScript& s) { s.buildNative = [] { throw PellucorError("wrong_frontmost", "its own words"); }; },
       keyRefusal("wrong_frontmost", "its own words")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EntryRun run;
    c.breakIt(run.script);
    EXPECT_EQ(picture(run({}, std::string(kKeyRequestLine) + "\n")), c.expected);
    EXPECT_EQ(run.script.identityChecks, 0);
    EXPECT_TRUE(run.script.nativeCalls.empty());
  }
}

// A success response whose encoding is `size` bytes long: the encoding for
// an empty result string, filled up with result bytes.
Response successOfSize(std::size_t size) {
  Response response;
  response.requestID = "r";
  response.ok = true;
  response.operation = "observe_ax";
  const std::string empty =
      R"({"duration_ms":0,"nonce":"","ok":true,"operation":"observe_ax","protocol":"zor-vane.pellucor/v2",)"
      R"("request_id":"r","result":""})";
  response.result = JSONValue(std::string(size - empty.size(), '/'));
  return response;
}

TEST(PellucorMain, EmitWritesAtMostSixteenMebibytes) {
  const ProcessOutput exact = PellucorMain::emit(successOfSize(16777216));
  ASSERT_EQ(exact.writes.size(), 2u);
  EXPECT_EQ(exact.writes[0].fd, 1);
  EXPECT_EQ(exact.writes[0].bytes.size(), 16777216u) << "slashes are written unescaped";
  EXPECT_EQ(exact.writes[0].bytes.back(), '}');
  EXPECT_EQ(exact.writes[1].bytes, "\n");
  EXPECT_EQ(exact.status, 0);

  const ProcessOutput over = PellucorMain::emit(successOfSize(16777217));
  EXPECT_TRUE(over.writes.empty());
  EXPECT_EQ(over.status, 70);

  Response failed = successOfSize(16777217);
  failed.ok = false;
  EXPECT_EQ(PellucorMain::emit(failed).status, 70) << "nothing written is never a refusal";

  Response unencodable = successOfSize(1000);
  unencodable.result = JSONValue("\xFF");
  const ProcessOutput refused = PellucorMain::emit(unencodable);
  EXPECT_TRUE(refused.writes.empty());
  EXPECT_EQ(refused.status, 70);
}

TEST(PellucorMain, ApprovalModePrintsFiveLines) {
  for (const bool trusted : {true, false}) {
    EntryRun run;
    run.script.approval = [trusted] { return PermissionApprovalResult{trusted, 4294967295u}; };
    EXPECT_EQ(picture(run({kApprovalArgument}, std::string(kKeyRequestLine) + "\n")),
              "1:" + approvalLines(trusted) + "|status 0");
    EXPECT_EQ(run.script.identityChecks, 1);
    EXPECT_EQ(run.script.approvalRuns, 1);
    EXPECT_EQ(run.nativeBuilt, 0);
    EXPECT_EQ(run.input.unread(), std::string(kKeyRequestLine) + "\n") << "approval mode never reads standard input";
  }
}

TEST(PellucorMain, ApprovalFailures) {
  const struct {
    const char* name;
    std::function<void()> identity;
    std::function<PermissionApprovalResult()> approval;
    const char* expected;
    int approvalRuns;
  } cases[] = {
      {"identity refusal", [] { throw PellucorError("invalid_ancestry", "parent is not the host"); }, nullptr,
       "2:approval_failed=invalid_ancestry\n|status 64", 0},
      {"identity platform error", [] { throw platform::PlatformError("no code object"); }, nullptr,
       "2:approval_failed=internal_error\n|status 70", 0},
      {"approval refusal", nullptr,
       []() -> PermissionApprovalResult { throw PellucorError("approval_window_ambiguous", "two windows"); },
       "2:approval_failed=approval_window_ambiguous\n|status 64", 1},
      {"approval platform error", nullptr,
       []() -> PermissionApprovalResult { throw platform::PlatformError("capture failed"); },
       "2:approval_failed=internal_error\n|status 70", 1},
      {"approval throws something else", nullptr, []() -> PermissionApprovalResult { throw 1; },
       "2:approval_failed=internal_error\n|status 70", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EntryRun run;
    run.script.identity = c.identity;
    run.script.approval = c.approval;
    EXPECT_EQ(picture(run({kApprovalArgument}, "")), c.expected);
    EXPECT_EQ(run.script.approvalRuns, c.approvalRuns);
    EXPECT_EQ(run.approvalBuilt, c.approvalRuns) << "the approval control is built only after identity passes";
  }
}

}  // namespace
}  // namespace pellucor
