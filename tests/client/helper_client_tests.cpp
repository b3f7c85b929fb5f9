// The client against real child processes: the built pellucor-sim on the
// example desktop, a desktop whose key posting stalls, and a script that
// stands in for a faulty helper (helpers/faulty_helper.sh).

#include "client/helper_client.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "client/example_target.hpp"
#include "image/image_routines.hpp"

namespace pellucor::client {
namespace {

using namespace std::chrono_literals;

const std::string kSim = PELLUCOR_SIM_PATH;
const std::string kExampleDesktop = PELLUCOR_EXAMPLE_DESKTOP;
const std::string kFixtures = PELLUCOR_CLIENT_FIXTURES;

std::vector<std::string> sim(const std::string& desktop, std::vector<std::string> more = {}) {
  std::vector<std::string> command{kSim, "--desktop", desktop};
  command.insert(command.end(), more.begin(), more.end());
  return command;
}

std::vector<std::string> faulty(const std::string& mode) {
  return {"/bin/sh", kFixtures + "/helpers/faulty_helper.sh", mode};
}

int openDescriptors() {
  int count = 0;
  for (int fd = 0; fd < 1024; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) ++count;
  }
  return count;
}

// The child is gone: nothing left to reap.
bool reaped(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == -1 && errno == ECHILD; }

struct CallCase {
  const char* name;
  std::vector<std::string> command;
  PellucorOperation operation;
  Target target;
  std::optional<PhysicalKey> key;
  std::vector<KeyModifier> modifiers;
  Outcome expected;
  std::string detail = {};
};

void expectOutcomes(const std::vector<CallCase>& cases, ClientOptions options = {}) {
  SystemRandomSource random;
  for (const CallCase& c : cases) {
    SCOPED_TRACE(c.name);
    const int descriptorsBefore = openDescriptors();
    const HelperClient client(c.command, random, options);
    const CallResult result = client.call(c.operation, c.target, c.key, c.modifiers);
    EXPECT_EQ(outcomeName(result.outcome), outcomeName(c.expected)) << result.detail;
    if (!c.detail.empty()) {
      EXPECT_EQ(result.detail, c.detail);
    }
    EXPECT_TRUE(reaped(result.run.pid));
    EXPECT_EQ(openDescriptors(), descriptorsBefore);
  }
}

TEST(HelperClient, EveryOperationOnTheExampleDesktop) {
  using enum PellucorOperation;
  const auto example = sim(kExampleDesktop);
  expectOutcomes({
      {"observe_ax", example, observeAX, exampleTarget(), {}, {}, Outcome::ok},
      {"enumerate_target_windows", example, enumerateTargetWindows, exampleTarget(), {}, {}, Outcome::ok},
      {"enumerate naming the window", example, enumerateTargetWindows, exampleTarget(8841), {}, {}, Outcome::ok},
      {"capture_target_window", example, captureTargetWindow, exampleTarget(8841), {}, {}, Outcome::ok},
      {"key", example, key, exampleTarget(), PhysicalKey::returnKey, {}, Outcome::ok},
      {"hotkey", example, hotkey, exampleTarget(), PhysicalKey::s, {KeyModifier::command, KeyModifier::shift},
       Outcome::ok},
  });
}

TEST(HelperClient, TheHelpersOwnRefusals) {
  using enum PellucorOperation;
  Target badID = exampleTarget();
  badID.applicationID = "5F2C9A7E41B08D3C6E9F1A24";
  const auto example = sim(kExampleDesktop);
  expectOutcomes({
      {"another window", example, captureTargetWindow, exampleTarget(9999), {}, {}, Outcome::helperError,
       "focused_window_id_mismatch: requested window_id differs from the verified focused Plugin application "
       "window"},
      {"a request intake refuses", example, observeAX, badID, {}, {}, Outcome::requestRejected,
       "invalid_target: target binding is incomplete"},
      {"an extra argument", sim(kExampleDesktop, {"--", "extra"}), observeAX, exampleTarget(), {}, {},
       Outcome::invocationRefused},
      {"a desktop the simulator cannot read", sim(kFixtures + "/desktops/missing.json"), observeAX, exampleTarget(),
       {}, {}, Outcome::helperFailed, "exit status 78"},
      {"no such program", {kFixtures + "/helpers/missing"}, observeAX, exampleTarget(), {}, {},
       Outcome::spawnFailed},
  });
}

TEST(HelperClient, FaultyHelpers) {
  using enum PellucorOperation;
  expectOutcomes({
      {"sound key answer", faulty("good_key"), key, exampleTarget(), PhysicalKey::a, {}, Outcome::ok},
      {"wrong nonce", faulty("wrong_nonce"), key, exampleTarget(), PhysicalKey::a, {}, Outcome::nonceMismatch},
      {"wrong request_id", faulty("wrong_request_id"), key, exampleTarget(), PhysicalKey::a, {},
       Outcome::requestIDMismatch},
      {"status disagrees with ok", faulty("status_disagrees"), key, exampleTarget(), PhysicalKey::a, {},
       Outcome::statusMismatch},
      {"two lines", faulty("two_lines"), key, exampleTarget(), PhysicalKey::a, {}, Outcome::notOneLine},
      {"more than 16 MiB", faulty("too_large"), key, exampleTarget(), PhysicalKey::a, {}, Outcome::outputTooLarge},
      {"sound capture answer", faulty("good_capture"), captureTargetWindow, exampleTarget(8841), {}, {},
       Outcome::ok},
      {"digest of another PNG", faulty("digest_mismatch"), captureTargetWindow, exampleTarget(8841), {}, {},
       Outcome::pngDigestMismatch},
      {"Base64 with spare bits set", faulty("spare_bits"), captureTargetWindow, exampleTarget(8841), {}, {},
       Outcome::pngBase64NotCanonical},
      {"PNG of another size", faulty("size_mismatch"), captureTargetWindow, exampleTarget(8841), {}, {},
       Outcome::pngHeaderMismatch},
  });
}

TEST(HelperClient, ACaptureKeepsItsVerifiedPNG) {
  SystemRandomSource random;
  const HelperClient client(sim(kExampleDesktop), random);
  const CallResult result = client.call(PellucorOperation::captureTargetWindow, exampleTarget(8841));
  ASSERT_EQ(result.outcome, Outcome::ok) << result.detail;
  EXPECT_EQ(sha256Hex(result.png), result.response->result->find("png_sha256")->asString());
  EXPECT_EQ(result.passedChecks.back(), checks::kPNGHeader);
}

// A request longer than what the helper takes (at most 65537 bytes) and a
// full pipe (64 KiB) together, to a helper that answers without reading, or
// after reading only what it allows: the rest of the write meets a closed
// pipe, the caller survives it, and the answer is still read.
TEST(HelperClient, AHelperThatAnswersBeforeReadingAllOfItsInput) {
  Target longName = exampleTarget();
  longName.applicationName = std::string(300000, 'n');
  for (const auto& command : {faulty("early_exit"), sim(kExampleDesktop)}) {
    SCOPED_TRACE(command.front());
    SystemRandomSource random;
    const HelperClient client(command, random);
    const CallResult result = client.call(PellucorOperation::observeAX, longName);
    EXPECT_EQ(result.outcome, Outcome::requestRejected) << result.detail;
    EXPECT_EQ(result.detail, "request_too_large: request exceeds 65536 bytes");
    EXPECT_TRUE(result.run.brokenPipe);
    EXPECT_LT(result.run.inputWritten, 300000u);
  }
}

TEST(HelperClient, AStalledKeyPressIsKilledAtTheLimitAndReaped) {
  const std::string events = testing::TempDir() + "client_stalled_events.jsonl";
  unlink(events.c_str());
  ClientOptions options;
  options.limit = 300ms;
  expectOutcomes({{"stalled key", sim(kFixtures + "/desktops/stalled_key.json", {"--events", events}),
                   PellucorOperation::key, exampleTarget(), PhysicalKey::a, {}, Outcome::timedOut}},
                 options);
  SystemRandomSource random;
  const CallResult result = HelperClient(sim(kFixtures + "/desktops/stalled_key.json"), random, options)
                                .call(PellucorOperation::hotkey, exampleTarget(), PhysicalKey::a, {});
  EXPECT_EQ(result.outcome, Outcome::timedOut);
  EXPECT_TRUE(result.keyDownMayHaveBeenPosted);
  EXPECT_EQ(result.run.end, RunEnd::timedOut);
}

TEST(HelperClient, ApprovalModeOnTheExampleDesktop) {
  SystemRandomSource random;
  const int descriptorsBefore = openDescriptors();
  const CallResult result = HelperClient(sim(kExampleDesktop), random).runApproval();
  ASSERT_EQ(result.outcome, Outcome::ok) << result.detail;
  EXPECT_EQ(result.run.argv.back(), kApprovalArgument);
  EXPECT_EQ(result.approval->windowID, 8841u);
  EXPECT_TRUE(reaped(result.run.pid));
  EXPECT_EQ(openDescriptors(), descriptorsBefore);
}

}  // namespace
}  // namespace pellucor::client
