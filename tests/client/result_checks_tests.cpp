// The verifier on runs made up in memory: every outcome that does not need a
// real process, each row differing from a sound answer by one fault.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "client/result_checks.hpp"
#include "client/verification.hpp"
#include "text/base64.hpp"

namespace pellucor::client {
namespace {

TEST(DecodeCanonicalBase64, AcceptsOnlyTheOneSpelling) {
  struct Case {
    const char* name;
    std::string text;
    std::optional<std::string> bytes;
  };
  const Case cases[] = {
      {"empty", "", std::string()},
      {"no padding", "YWJj", std::string("abc")},
      {"one padding", "YWI=", std::string("ab")},
      {"two padding", "YQ==", std::string("a")},
      {"plus and slash", "+/+/", std::string("\xfb\xff\xbf")},
      {"spare bits set under two padding", "YR==", std::nullopt},
      {"spare bits set under one padding", "YWJ=", std::nullopt},
      {"missing padding", "YQ", std::nullopt},
      {"three padding", "Y===", std::nullopt},
      {"padding inside", "YQ==YQ==", std::nullopt},
      {"URL-safe alphabet", "-_-_", std::nullopt},
      {"line break", "YWJj\nYWJj", std::nullopt},
      {"space", "YWJj ", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(decodeCanonicalBase64(c.text), c.bytes);
  }
}

std::string pngStart(std::uint32_t width, std::uint32_t height, std::uint32_t length = 13,
                     std::string type = "IHDR") {
  std::string bytes("\x89PNG\r\n\x1a\n", 8);
  const auto put = [&](std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<char>((v >> shift) & 0xff));
  };
  put(length);
  bytes += type;
  put(width);
  put(height);
  bytes += std::string("\x08\x02\x00\x00\x00", 5);
  return bytes;
}

TEST(PNGHeaderSize, ReadsTheFirstChunkOnly) {
  EXPECT_EQ(pngHeaderSize(pngStart(960, 600))->width, 960u);
  EXPECT_EQ(pngHeaderSize(pngStart(960, 600))->height, 600u);
  EXPECT_EQ(pngHeaderSize(pngStart(4294967295u, 1))->width, 4294967295u);
  EXPECT_FALSE(pngHeaderSize(pngStart(0, 600)));
  EXPECT_FALSE(pngHeaderSize(pngStart(960, 600, 14)));
  EXPECT_FALSE(pngHeaderSize(pngStart(960, 600, 13, "IDAT")));
  EXPECT_FALSE(pngHeaderSize(pngStart(960, 600).substr(0, 28)));
  EXPECT_FALSE(pngHeaderSize("GIF89a" + pngStart(960, 600).substr(6)));
}

const std::string kID = "6f1c2b8e-3d4a-4b5c-9e7f-0a1b2c3d4e5f";
const std::string kNonce = "i_YgZoZv0LYhMVPJaYqWBb_AgLq0fDxmsRLPGaVOy2E";
const std::string kTarget =
    R"("application_id":"5f2c9a7e41b08d3c6e9f1a24","application_name":"Ledgerline",)"
    R"("application_revision":"2024.11.3","bundle_id":"com.brevant.zorvane","pid":5021,)"
    R"("surface":"plugin.application")";

Request request(PellucorOperation operation, std::optional<std::uint32_t> windowID = std::nullopt) {
  Request r;
  r.requestID = kID;
  r.nonce = kNonce;
  r.operation = operation;
  r.target.pid = 5021;
  r.target.bundleID = "com.brevant.zorvane";
  r.target.frontmostRequired = true;
  r.target.windowID = windowID;
  r.target.surface = "plugin.application";
  r.target.applicationID = "5f2c9a7e41b08d3c6e9f1a24";
  r.target.applicationName = "Ledgerline";
  r.target.applicationRevision = "2024.11.3";
  return r;
}

// A response line: the members given, then the echoed ones unless given.
std::string line(const std::string& members, const std::string& operation, bool echo = true) {
  std::string text = "{" + members;
  if (echo) {
    text += R"(,"nonce":")" + kNonce + R"(","operation":")" + operation + R"(","protocol":"zor-vane.pellucor/v2",)" +
            R"("request_id":")" + kID + "\"";
  }
  return text + "}\n";
}

HelperRun exited(int status, std::string output, std::string error = "") {
  HelperRun run;
  run.end = RunEnd::exited;
  run.exitStatus = status;
  run.standardOutput = std::move(output);
  run.standardError = std::move(error);
  return run;
}

const std::string kKeyOK = R"("duration_ms":2,"ok":true,"result":{"posted":true},"target":{)" + kTarget + "}";
const std::string kWindowsResult =
    R"([{"height":600,"legacy_sharing_state":null,"on_screen":true,"title":"Zorvane","width":960,"window_id":8841}])";
const std::string kTree =
    R"({"role":"AXWindow","position":{"x":1,"y":2},"size":{"width":3,"height":4},"value":7,"enabled":true,)"
    R"("actions":["AXRaise"],"children":[{"identifier":"x"}]})";

struct VerifyCase {
  const char* name;
  PellucorOperation operation;
  std::optional<std::uint32_t> windowID;
  HelperRun run;
  Outcome expected;
};

TEST(VerifyResponse, EachFaultHasItsOutcome) {
  using enum PellucorOperation;
  const std::string observeOK =
      R"("duration_ms":2,"ok":true,"result":{"preflight_trusted":true,"tree":)" + kTree + R"(},"target":{)" +
      kTarget + "}";
  const std::string windowsOK =
      R"("duration_ms":2,"ok":true,"result":)" + kWindowsResult + R"(,"target":{)" + kTarget + R"(,"window_id":8841})";
  const std::string failure = R"("duration_ms":2,"error":{"code":"wrong_product","message":"m","retryable":false},)"
                              R"("ok":false)";
  const VerifyCase cases[] = {
      {"sound key answer", key, {}, exited(0, line(kKeyOK, "key")), Outcome::ok},
      {"sound observe answer", observeAX, {}, exited(0, line(observeOK, "observe_ax")), Outcome::ok},
      {"sound windows answer", enumerateTargetWindows, {}, exited(0, line(windowsOK, "enumerate_target_windows")),
       Outcome::ok},
      {"sound windows answer naming the window", enumerateTargetWindows, 8841u,
       exited(0, line(windowsOK, "enumerate_target_windows")), Outcome::ok},
      {"sound error answer", key, {}, exited(64, line(failure, "key")), Outcome::helperError},
      {"fallback answer", key, {},
       exited(64, R"({"duration_ms":0,"error":{"code":"invalid_json","message":"malformed JSON","retryable":false},)"
                  R"("nonce":"","ok":false,"operation":"parse","protocol":"zor-vane.pellucor/v2",)"
                  R"("request_id":"00000000-0000-4000-8000-000000000000"})"
                  "\n"),
       Outcome::requestRejected},
      {"refused argument vector", key, {}, exited(64, "", "invalid compiled invocation\n"),
       Outcome::invocationRefused},
      {"status 70 and nothing", key, {}, exited(70, ""), Outcome::helperFailed},
      {"status 1 with a sound line", key, {}, exited(1, line(kKeyOK, "key")), Outcome::helperFailed},
      {"status 0 and nothing", key, {}, exited(0, ""), Outcome::noResponse},
      {"no line feed", key, {}, exited(0, line(kKeyOK, "key").substr(0, line(kKeyOK, "key").size() - 1)),
       Outcome::notOneLine},
      {"a carriage return is not white space after the line", key, {}, exited(0, line(kKeyOK, "key") + "\r"),
       Outcome::notOneLine},
      {"not JSON", key, {}, exited(0, "ok\n"), Outcome::notJSON},
      {"a key twice", key, {}, exited(0, line(kKeyOK + R"(,"ok":true)", "key")), Outcome::notJSON},
      {"a fraction", key, {}, exited(0, line(R"("duration_ms":2.5,"ok":true)", "key")), Outcome::notJSON},
      {"an integer beyond 64 bits", key, {}, exited(0, line(R"("duration_ms":99999999999999999999)", "key")),
       Outcome::notJSON},
      {"not an object", key, {}, exited(0, "[]\n"), Outcome::malformedResponse},
      {"an unknown member", key, {}, exited(0, line(kKeyOK + R"(,"extra":1)", "key")), Outcome::malformedResponse},
      {"a negative duration", key, {}, exited(0, line(R"("duration_ms":-1,"ok":true,"result":{"posted":true})", "key")),
       Outcome::malformedResponse},
      {"ok without a target", key, {}, exited(0, line(R"("duration_ms":2,"ok":true,"result":{"posted":true})", "key")),
       Outcome::malformedResponse},
      {"an error with a target", key, {}, exited(64, line(failure + R"(,"target":{)" + kTarget + "}", "key")),
       Outcome::malformedResponse},
      {"pid zero", key, {}, exited(0, line(R"("duration_ms":2,"ok":true,"result":{"posted":true},"target":{)" +
                                                  kTarget.substr(0, kTarget.find("5021")) + "0" +
                                                  kTarget.substr(kTarget.find("5021") + 4) + "}",
                                              "key")),
       Outcome::malformedResponse},
      {"ok with status 64", key, {}, exited(64, line(kKeyOK, "key")), Outcome::statusMismatch},
      {"not ok with status 0", key, {}, exited(0, line(failure, "key")), Outcome::statusMismatch},
      {"another protocol", key, {},
       exited(0, "{" + kKeyOK + R"(,"nonce":")" + kNonce +
                     R"(","operation":"key","protocol":"zor-vane.pellucor/v3","request_id":")" + kID + "\"}\n"),
       Outcome::protocolMismatch},
      {"another operation", key, {}, exited(0, line(kKeyOK, "hotkey")), Outcome::operationMismatch},
      {"another application name", key, {},
       exited(0, line(R"("duration_ms":2,"ok":true,"result":{"posted":true},"target":{)" +
                          std::string(kTarget).replace(kTarget.find("Ledgerline"), 10, "Ledgerlime") + "}",
                      "key")),
       Outcome::targetMismatch},
      {"a window identified for a key", key, {},
       exited(0, line(R"("duration_ms":2,"ok":true,"result":{"posted":true},"target":{)" + kTarget +
                          R"(,"window_id":1})",
                      "key")),
       Outcome::targetMismatch},
      {"another window than requested", enumerateTargetWindows, 8842u,
       exited(0, line(windowsOK, "enumerate_target_windows")), Outcome::targetMismatch},
      {"posted false", key, {},
       exited(0, line(R"("duration_ms":2,"ok":true,"result":{"posted":false},"target":{)" + kTarget + "}", "key")),
       Outcome::resultMismatch},
      {"an element with an unknown member", observeAX, {},
       exited(0, line(R"("duration_ms":2,"ok":true,"result":{"preflight_trusted":true,"tree":{"colour":"red"}},)"
                      R"("target":{)" + kTarget + "}",
                      "observe_ax")),
       Outcome::resultMismatch},
      {"empty children", observeAX, {},
       exited(0, line(R"("duration_ms":2,"ok":true,"result":{"preflight_trusted":true,"tree":{"children":[]}},)"
                      R"("target":{)" + kTarget + "}",
                      "observe_ax")),
       Outcome::resultMismatch},
      {"the result's window is not the target's", enumerateTargetWindows, {},
       exited(0, line(R"("duration_ms":2,"ok":true,"result":)" + kWindowsResult + R"(,"target":{)" + kTarget +
                          R"(,"window_id":8842})",
                      "enumerate_target_windows")),
       Outcome::resultMismatch},
      {"two windows", enumerateTargetWindows, {},
       exited(0, line(R"("duration_ms":2,"ok":true,"result":[)" + kWindowsResult.substr(1, kWindowsResult.size() - 2) +
                          "," + kWindowsResult.substr(1) + R"(,"target":{)" + kTarget + R"(,"window_id":8841})",
                      "enumerate_target_windows")),
       Outcome::resultMismatch},
  };
  for (const VerifyCase& c : cases) {
    SCOPED_TRACE(c.name);
    const CallResult result = verifyResponse(request(c.operation, c.windowID), c.run);
    EXPECT_EQ(outcomeName(result.outcome), outcomeName(c.expected)) << result.detail;
    EXPECT_EQ(result.run.standardOutput, c.run.standardOutput);
  }
}

TEST(VerifyResponse, ARunThatEndedWithoutAStatusKeepsWhatItLeft) {
  HelperRun timedOut = exited(0, "{\"partial");
  timedOut.end = RunEnd::timedOut;
  for (const PellucorOperation operation : allOperations()) {
    const CallResult result = verifyResponse(request(operation), timedOut);
    EXPECT_EQ(result.outcome, Outcome::timedOut);
    EXPECT_EQ(result.keyDownMayHaveBeenPosted,
              operation == PellucorOperation::key || operation == PellucorOperation::hotkey);
    EXPECT_EQ(result.run.standardOutput, "{\"partial");
  }
  HelperRun signalled = exited(0, "");
  signalled.end = RunEnd::signalled;
  signalled.signalNumber = 11;
  EXPECT_EQ(verifyResponse(request(PellucorOperation::key), signalled).outcome, Outcome::helperFailed);
}

TEST(VerifyApproval, FiveLinesOrOneRefusal) {
  const std::string five =
      "accessibility_prompt_requested_once=true\naccessibility_status_advisory=false\n"
      "screencapturekit_exact_window_id=4294967295\npermission_success_claimed=false\n"
      "full_quit_and_relaunch_required=true\n";
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = five;
    return text.replace(text.find(from), from.size(), to);
  };
  struct Case {
    const char* name;
    HelperRun run;
    Outcome expected;
  };
  const Case cases[] = {
      {"the five lines", exited(0, five), Outcome::ok},
      {"a refusal", exited(64, "", "approval_failed=approval_window_ambiguous\n"), Outcome::approvalRefused},
      {"a platform failure", exited(70, "", "approval_failed=internal_error\n"), Outcome::approvalRefused},
      {"internal_error with 64", exited(64, "", "approval_failed=internal_error\n"), Outcome::statusMismatch},
      {"a refusal with 70", exited(70, "", "approval_failed=wrong_product\n"), Outcome::statusMismatch},
      {"refused argument vector", exited(64, "", "invalid compiled invocation\n"), Outcome::invocationRefused},
      {"success claimed", exited(0, replaced("claimed=false", "claimed=true")), Outcome::malformedApproval},
      {"window with a leading zero", exited(0, replaced("=4294967295", "=04294967295")), Outcome::malformedApproval},
      {"window beyond 32 bits", exited(0, replaced("=4294967295", "=4294967296")), Outcome::malformedApproval},
      {"a sixth line", exited(0, five + "x=y\n"), Outcome::malformedApproval},
      {"lines and a refusal", exited(0, five, "approval_failed=x\n"), Outcome::malformedApproval},
      {"a refusal without its line feed", exited(64, "", "approval_failed=wrong_product"), Outcome::malformedApproval},
      {"status 78", exited(78, "", "pellucor-sim: no desktop\n"), Outcome::helperFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CallResult result = verifyApproval(c.run);
    EXPECT_EQ(outcomeName(result.outcome), outcomeName(c.expected)) << result.detail;
  }
  const CallResult ok = verifyApproval(exited(0, five));
  ASSERT_TRUE(ok.approval);
  EXPECT_EQ(ok.approval->windowID, 4294967295u);
  EXPECT_FALSE(ok.approval->accessibilityStatusAdvisory);
  EXPECT_EQ(verifyApproval(exited(64, "", "approval_failed=wrong_product\n")).approvalFailureCode, "wrong_product");
}

TEST(Outcome, EveryValueHasItsOwnNameAndAnExplanation) {
  std::set<std::string_view> names;
  for (std::size_t i = 0; i < kOutcomeCount; ++i) {
    const auto outcome = static_cast<Outcome>(i);
    EXPECT_TRUE(names.insert(outcomeName(outcome)).second) << outcomeName(outcome);
    EXPECT_NE(outcomeExplanation(outcome), "unknown outcome");
  }
}

}  // namespace
}  // namespace pellucor::client
