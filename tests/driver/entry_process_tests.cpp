#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "driver_test_lines.hpp"

extern char** environ;

namespace pellucor {
namespace {

using namespace std::chrono_literals;
using testing::approvalLines;
using testing::fallbackResponse;
using testing::kApprovalArgument;
using testing::kKeyRefusedResponse;
using testing::kKeyRequestLine;
using testing::kKeySuccessResponse;
using testing::kLargeResultPathBytes;

struct Finished {
  std::string out;
  std::string err;
  int status = -1;
};

struct Launch {
  std::vector<std::string> arguments;
  std::string input;
  bool closeInput = true;
  std::string script = "succeed";
  bool hostClosesOutput = false;  // the read end of standard output is closed at once
  // Standard output is a non-blocking pipe that the host drains slowly, a few
  // kibibytes at a time.
  bool slowNonBlockingOutput = false;
};

// A pipe whose two ends are closed in a spawned child (pipe2 is not on
// every platform). The test spawns from one thread, so no other child can
// inherit the ends between the two calls.
bool closeOnExecPipe(int ends[2]) {
  return ::pipe(ends) == 0 && ::fcntl(ends[0], F_SETFD, FD_CLOEXEC) == 0 &&
         ::fcntl(ends[1], F_SETFD, FD_CLOEXEC) == 0;
}

// Runs the entry harness as a child process with its three standard streams
// on pipes, writes `input` to it, and collects everything it writes until it
// exits.
Finished runEntry(const Launch& launch) {
  int in[2], out[2], err[2];
  if (!closeOnExecPipe(in) || !closeOnExecPipe(out) || !closeOnExecPipe(err)) {
    ADD_FAILURE() << "pipes";
    return {};
  }
  ::signal(SIGPIPE, SIG_IGN);
  // The flag belongs to the open pipe, so the child's standard output shares it.
  if (launch.slowNonBlockingOutput && ::fcntl(out[1], F_SETFL, ::fcntl(out[1], F_GETFL) | O_NONBLOCK) != 0) {
    ADD_FAILURE() << "non-blocking output";
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  // The test ignores SIGPIPE for itself; the child starts with the default
  // disposition, as it would under a host.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> argumentTexts{PELLUCOR_ENTRY_HARNESS};
  argumentTexts.insert(argumentTexts.end(), launch.arguments.begin(), launch.arguments.end());
  std::vector<char*> argv;
  for (auto& text : argumentTexts) argv.push_back(text.data());
  argv.push_back(nullptr);
  std::vector<std::string> environmentTexts;
  for (char** entry = environ; *entry != nullptr; ++entry) environmentTexts.emplace_back(*entry);
  environmentTexts.push_back("PELLUCOR_ENTRY_HARNESS_SCRIPT=" + launch.script);
  std::vector<char*> envp;
  for (auto& text : environmentTexts) envp.push_back(text.data());
  envp.push_back(nullptr);

  pid_t child = 0;
  const int spawned =
      ::posix_spawn(&child, PELLUCOR_ENTRY_HARNESS, &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  if (spawned != 0) {
    ADD_FAILURE() << "spawn failed: " << spawned;
    ::close(in[1]);
    ::close(out[0]);
    ::close(err[0]);
    return {};
  }
  if (launch.hostClosesOutput) ::close(out[0]);

  std::thread writer([&] {
    std::size_t done = 0;
    while (done < launch.input.size()) {
      const ssize_t count = ::write(in[1], launch.input.data() + done, launch.input.size() - done);
      if (count <= 0) break;
      done += static_cast<std::size_t>(count);
    }
    if (launch.closeInput) ::close(in[1]);
  });

  Finished finished;
  pollfd streams[2] = {{launch.hostClosesOutput ? -1 : out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&finished.out, &finished.err};
  int open = launch.hostClosesOutput ? 1 : 2;
  while (open > 0) {
    if (::poll(streams, 2, -1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (streams[i].fd < 0 || streams[i].revents == 0) continue;
      char buffer[65536];
      const bool slowly = launch.slowNonBlockingOutput && i == 0;
      if (slowly) std::this_thread::sleep_for(100us);
      const ssize_t count = ::read(streams[i].fd, buffer, slowly ? 4096 : sizeof buffer);
      if (count > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(count));
      } else {
        ::close(streams[i].fd);
        streams[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  writer.join();
  if (!launch.closeInput) ::close(in[1]);
  finished.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  return finished;
}

TEST(EntryProcess, WritesExactlyTheseBytesAndEndsWithThisStatus) {
  const std::string line = std::string(kKeyRequestLine) + "\n";
  const struct {
    const char* name;
    Launch launch;
    std::string out;
    std::string err;
    int status;
  } cases[] = {
      {"refused invocation", {{"x"}, line}, "", "invalid compiled invocation\n", 64},
      {"approval argument with a second one", {{kApprovalArgument, "x"}, line}, "",
       "invalid compiled invocation\n", 64},
      {"empty input", {{}, ""}, fallbackResponse("unterminated_request", "request must end with LF") + "\n", "", 64},
      {"no line feed", {{}, kKeyRequestLine}, fallbackResponse("unterminated_request", "request must end with LF") + "\n",
       "", 64},
      {"second line", {{}, line + "\n"},
       fallbackResponse("multiple_requests", "second request line is forbidden") + "\n", "", 64},
      {"trailing input", {{}, line + line},
       fallbackResponse("multiple_requests", "trailing input after request line") + "\n", "", 64},
      {"too large", {{}, std::string(65535, ' ') + "\n "},
       fallbackResponse("request_too_large", "request exceeds 65536 bytes") + "\n", "", 64},
      {"decoder error", {{}, "{}\n"},
       fallbackResponse("invalid_schema", "unknown or missing field in closed v2 schema") + "\n", "", 64},
      {"success", {{}, line + " \t\r"}, std::string(kKeySuccessResponse) + "\n", "", 0},
      {"refused by the native operation", {{}, line, true, "refuse"}, std::string(kKeyRefusedResponse) + "\n", "",
       64},
      {"approval mode", {{kApprovalArgument}, ""}, approvalLines(true), "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Finished finished = runEntry(c.launch);
    EXPECT_EQ(finished.out, c.out);
    EXPECT_EQ(finished.err, c.err);
    EXPECT_EQ(finished.status, c.status);
  }
}

TEST(EntryProcess, HostThatClosedStandardOutputStillGetsTheOutcomesStatus) {
  Launch success{{}, std::string(kKeyRequestLine) + "\n"};
  success.hostClosesOutput = true;
  EXPECT_EQ(runEntry(success).status, 0);
  Launch refused = success;
  refused.script = "refuse";
  EXPECT_EQ(runEntry(refused).status, 64);
}

TEST(EntryProcess, HostThatKeepsStandardInputOpenGetsReadTimeout) {
  const auto start = std::chrono::steady_clock::now();
  const Finished finished = runEntry({{}, std::string(kKeyRequestLine) + "\n", false});
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(finished.out,
            fallbackResponse("read_timeout", "stdin did not close before the startup deadline") + "\n");
  EXPECT_EQ(finished.err, "");
  EXPECT_EQ(finished.status, 64);
  EXPECT_GE(waited, 1900ms);
  EXPECT_LT(waited, 10s);
}

// A response of several mebibytes leaves the child in many pieces when its
// standard output is a non-blocking pipe that fills up: every byte must still
// arrive, in order, with the outcome's status.
TEST(EntryProcess, LargeResponseReachesASlowNonBlockingReaderWhole) {
  Launch launch{{}, std::string(kKeyRequestLine) + "\n"};
  launch.script = "large";
  launch.slowNonBlockingOutput = true;
  const Finished finished = runEntry(launch);
  std::string expected = std::string(kKeySuccessResponse) + "\n";
  const std::string smallPath = "/tmp/a b";
  expected.replace(expected.find(smallPath), smallPath.size(), std::string(kLargeResultPathBytes, 'x'));
  EXPECT_EQ(finished.out.size(), expected.size());
  EXPECT_TRUE(finished.out == expected) << "the response arrived altered";
  EXPECT_EQ(finished.err, "");
  EXPECT_EQ(finished.status, 0);
}

}  // namespace
}  // namespace pellucor
