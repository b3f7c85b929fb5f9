#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellucor::client {

// The largest response line the helper writes, and its line feed.
inline constexpr std::size_t kMaximumResponseBytes = 16777216;
inline constexpr std::size_t kMaximumStandardOutput = kMaximumResponseBytes + 1;
// The helper writes at most one short fixed line on standard error.
inline constexpr std::size_t kMaximumStandardError = 4096;

struct RunLimits {
  std::chrono::milliseconds wallClock{10000};
  std::size_t standardOutputBytes = kMaximumStandardOutput;
  std::size_t standardErrorBytes = kMaximumStandardError;
};

// How a run ended.
enum class RunEnd : std::uint8_t {
  exited,          // exitStatus holds the status
  signalled,       // ended by signalNumber (not sent by the client)
  timedOut,        // the client killed it at the wall-clock limit, and reaped it
  outputTooLarge,  // the client killed it when standard output passed its bound, and reaped it
  spawnFailed,     // it never started; failure says why
  failed,          // a pipe, poll, read or wait call of the client failed; failure says which
};

// Everything one run of the helper left behind, exactly as it came.
struct HelperRun {
  std::vector<std::string> argv;
  pid_t pid = -1;
  RunEnd end = RunEnd::failed;
  int exitStatus = -1;
  int signalNumber = 0;
  std::string standardOutput;
  std::string standardError;        // its first standardErrorBytes
  bool standardErrorTruncated = false;
  std::size_t inputWritten = 0;     // bytes of the request the helper took
  bool brokenPipe = false;          // the helper closed standard input before taking all of it
  std::string failure;              // the call and its error, for spawnFailed and failed
  std::chrono::milliseconds elapsed{0};
};

// Runs `argv` (its first word the program: a path, or a name looked up on
// PATH when it has no "/") once: no shell; standard input, output and error
// are pipes and every other descriptor is closed in the child; the child
// gets the caller's environment, an empty signal mask and SIGPIPE at its
// default, in a process group of its own. `input` is written and standard
// input closed; a helper that closes its end first (it answered early) is a
// broken pipe, not an error, and SIGPIPE never reaches the caller. Standard
// output and error are read together, so that neither can fill up and stall
// the helper. When the wall-clock limit passes, or standard output passes its
// bound, the helper's process group is killed with SIGKILL; the helper is
// reaped on every path once it has started. Never throws but for memory
// exhaustion.
HelperRun runHelper(const std::vector<std::string>& argv, std::string_view input, const RunLimits& limits);

}  // namespace pellucor::client
