#include <fcntl.h>
#include <sys/select.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "intake/protocol_parser.hpp"
#include "support/fake_clock.hpp"
#include "support/test_pipe.hpp"

namespace pellucor {
namespace {

using namespace std::chrono_literals;

using testing::TestPipe;

// "line:" and the returned bytes, or the error's code and message.
std::string outcome(int fd, double deadlineSeconds, const platform::Clock& clock) {
  try {
    return "line:" + ProtocolParser::readOneRequest(fd, deadlineSeconds, clock);
  } catch (const PellucorError& error) {
    EXPECT_FALSE(error.retryable);
    return error.code + ": " + error.message;
  }
}

std::string readAll(std::string input, double deadlineSeconds = 2.0) {
  TestPipe pipe;
  pipe.send(std::move(input));
  const platform::SystemClock clock;
  return outcome(pipe.readEnd(), deadlineSeconds, clock);
}

constexpr const char* kTimeout = "read_timeout: stdin did not close before the startup deadline";
constexpr const char* kTooLarge = "request_too_large: request exceeds 65536 bytes";
constexpr const char* kSecondLine = "multiple_requests: second request line is forbidden";
constexpr const char* kTrailing = "multiple_requests: trailing input after request line";
constexpr const char* kUnterminated = "unterminated_request: request must end with LF";

TEST(RequestReader, Framing) {
  const struct {
    const char* name;
    std::string input;
    std::string expected;
  } cases[] = {
      {"empty and closed", "", kUnterminated},
      {"text without a line feed", "{\"a\":1}", kUnterminated},
      {"lone line feed", "\n", "line:"},
      {"line and line feed", "{}\n", "line:{}"},
      {"carriage return before the line feed stays", "{}\r\n", "line:{}\r"},
      {"blanks after the line feed are dropped", "{}\n \t\r", "line:{}"},
      {"second line feed", "{}\n\n", kSecondLine},
      {"blank then second line feed", "{}\n \n", kSecondLine},
      {"visible character after the line feed", "{}\nx", kTrailing},
      {"NUL after the line feed", std::string("{}\n\0", 4), kTrailing},
      {"form feed after the line feed", "{}\n\f", kTrailing},
      {"second request", "{}\n{}\n", kTrailing},
      {"NUL and non-UTF-8 bytes are returned as they are", std::string("a\0b\xFF\n", 5),
       std::string("line:a\0b\xFF", 9)},
      {"exactly 65536 bytes", std::string(65535, 'x') + "\n", "line:" + std::string(65535, 'x')},
      {"a space beyond 65536 bytes", std::string(65535, 'x') + "\n ", kTooLarge},
      {"line feed as byte 65537", std::string(65536, 'x') + "\n", kTooLarge},
      {"65536 bytes without a line feed", std::string(65536, 'x'), kUnterminated},
      {"65537 bytes without a line feed", std::string(65537, 'x'), kTooLarge},
      {"far more than the limit", std::string(200000, 'x'), kTooLarge},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string result = readAll(c.input);
    EXPECT_EQ(result.size(), c.expected.size());
    EXPECT_TRUE(result == c.expected) << result.substr(0, 80);
  }
}

TEST(RequestReader, LineArrivingInPiecesIsAssembled) {
  TestPipe pipe;
  std::thread writer([&pipe] {
    for (const char* piece : {"{\"a\"", ":1}", "\n", " "}) {
      std::this_thread::sleep_for(5ms);
      EXPECT_GT(::write(pipe.writeEnd(), piece, std::char_traits<char>::length(piece)), 0);
    }
    pipe.closeWriteEnd();
  });
  const platform::SystemClock clock;
  EXPECT_EQ(outcome(pipe.readEnd(), 2.0, clock), "line:{\"a\":1}");
  writer.join();
}

TEST(RequestReader, WriterThatDoesNotCloseTimesOut) {
  {
    // The line is complete but the host keeps the pipe open: the deadline of
    // the entry, 2.0 s, decides.
    TestPipe pipe;
    pipe.send("{}\n", false);
    const platform::SystemClock clock;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(outcome(pipe.readEnd(), 2.0, clock), kTimeout);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 1900ms);
    EXPECT_LT(waited, 10s);
  }
  {
    TestPipe pipe;
    const platform::SystemClock clock;
    EXPECT_EQ(outcome(pipe.readEnd(), 0.05, clock), kTimeout) << "no input at all";
  }
}

TEST(RequestReader, DeadlineIsTakenFromTheInjectedWallClock) {
  // Each reading moves the clock on by a whole second: the first wait finds
  // the window already gone, and nothing is read.
  TestPipe pipe;
  pipe.send("{}\n");
  pipe.joinWriter();
  testing::FakeClock clock;
  clock.setWallStep(1'000'000'000);
  EXPECT_EQ(outcome(pipe.readEnd(), 1.0, clock), kTimeout);
  char first = 0;
  EXPECT_EQ(::read(pipe.readEnd(), &first, 1), 1);
  EXPECT_EQ(first, '{');
}

TEST(RequestReader, LessThanOneMillisecondLeftIsATimeout) {
  TestPipe pipe;
  pipe.send("{}\n");
  pipe.joinWriter();
  testing::FakeClock clock;
  clock.setWallStep(1);
  // 1 ms window, read one nanosecond later: 999999 ns truncate to 0 ms.
  EXPECT_EQ(outcome(pipe.readEnd(), 0.001, clock), kTimeout);
  // A 2 ms window leaves 1 ms at every pass, enough to read all three bytes.
  TestPipe another;
  another.send("{}\n");
  another.joinWriter();
  EXPECT_EQ(outcome(another.readEnd(), 0.002, clock), "line:{}");
}

TEST(RequestReader, WallClockSetBackDuringTheReadMovesTheWindow) {
  TestPipe pipe;
  pipe.send("{}\n");
  pipe.joinWriter();
  testing::FakeClock clock;
  // Three seconds back at every reading: the window never closes while data
  // keeps arriving.
  clock.setWallStep(-3'000'000'000);
  EXPECT_EQ(outcome(pipe.readEnd(), 2.0, clock), "line:{}");
}

TEST(RequestReader, DeadlinesThatAreNotAFiniteSpanAreRefused) {
  for (const double deadline : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e300}) {
    TestPipe pipe;
    pipe.send("{}\n");
    pipe.joinWriter();
    const platform::SystemClock clock;
    EXPECT_EQ(outcome(pipe.readEnd(), deadline, clock), kTimeout) << deadline;
  }
}

TEST(RequestReader, DescriptorThatCannotBeRead) {
  const platform::SystemClock clock;
  // A directory polls as readable and then fails to read.
  const int directory = ::open("/", O_RDONLY | O_DIRECTORY);
  ASSERT_GE(directory, 0);
  EXPECT_EQ(outcome(directory, 2.0, clock), "read_failed: stdin read failed");
  ::close(directory);
  // A descriptor that is not open polls as POLLNVAL, and read then fails.
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::close(fds[0]);
  ::close(fds[1]);
  EXPECT_EQ(outcome(fds[0], 2.0, clock), "read_failed: stdin read failed");
}

TEST(RequestReader, SignalThatInterruptsTheWaitIsNotAnError) {
  struct sigaction action {};
  action.sa_handler = [](int) {};
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: poll and read return EINTR
  struct sigaction previous {};
  ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);

  TestPipe pipe;
  const pthread_t reader = ::pthread_self();
  std::thread interrupter([&pipe, reader] {
    for (int i = 0; i < 3; ++i) {
      std::this_thread::sleep_for(10ms);
      ::pthread_kill(reader, SIGUSR1);
    }
    EXPECT_EQ(::write(pipe.writeEnd(), "{}\n", 3), 3);
    pipe.closeWriteEnd();
  });
  const platform::SystemClock clock;
  EXPECT_EQ(outcome(pipe.readEnd(), 2.0, clock), "line:{}");
  interrupter.join();
  ::sigaction(SIGUSR1, &previous, nullptr);
}


// An open descriptor of each kind a host may hand over as standard input,
// closed with its owner.
struct OpenInput {
  OpenInput() = default;
  OpenInput(const OpenInput&) = delete;
  OpenInput& operator=(const OpenInput&) = delete;
  ~OpenInput() {
    for (const int fd : owned) ::close(fd);
  }
  int keep(int fd) {
    owned.push_back(fd);
    return fd;
  }
  std::vector<int> owned;
};

// The terminal side of a new pseudo-terminal on which nothing is typed; its
// controlling side stays open with the owner.
int silentTerminal(OpenInput& inputs) {
  const int controller = inputs.keep(::posix_openpt(O_RDWR | O_NOCTTY));
  if (controller < 0 || ::grantpt(controller) != 0 || ::unlockpt(controller) != 0) return -1;
  const char* name = ::ptsname(controller);
  return name == nullptr ? -1 : inputs.keep(::open(name, O_RDONLY | O_NOCTTY));
}

// Terminals and devices must be bounded by the deadline like pipes, or a
// helper started from a terminal would wait for ever.
TEST(RequestReader, TerminalsAndDevicesAreBoundedLikePipes) {
  OpenInput inputs;
  const int terminal = silentTerminal(inputs);
  ASSERT_GE(terminal, 0);
  const int nullDevice = inputs.keep(::open("/dev/null", O_RDONLY));
  ASSERT_GE(nullDevice, 0);
  const platform::SystemClock clock;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(outcome(terminal, 0.3, clock), kTimeout) << "terminal with nothing typed";
  EXPECT_GE(std::chrono::steady_clock::now() - start, 250ms);
  EXPECT_EQ(outcome(nullDevice, 2.0, clock), kUnterminated) << "/dev/null ends at once";
}

// Descriptors at or above FD_SETSIZE are waited for with poll(2) instead of
// select(2); framing and deadline are the same there.
TEST(RequestReader, DescriptorsBeyondTheSelectRangeAreReadAlike) {
  const int high = FD_SETSIZE + 7;
  const platform::SystemClock clock;
  {
    TestPipe pipe;
    pipe.send("{}\n \t");
    pipe.joinWriter();
    ASSERT_EQ(::dup2(pipe.readEnd(), high), high) << "needs an open-file limit above " << high;
    EXPECT_EQ(outcome(high, 2.0, clock), "line:{}");
    ::close(high);
  }
  {
    TestPipe pipe;
    pipe.send("{}\n", false);
    pipe.joinWriter();
    ASSERT_EQ(::dup2(pipe.readEnd(), high), high);
    EXPECT_EQ(outcome(high, 0.05, clock), kTimeout);
    ::close(high);
  }
  EXPECT_EQ(outcome(high, 2.0, clock), "read_failed: stdin read failed") << "not open";
}

}  // namespace
}  // namespace pellucor
