#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/clock.hpp"
#include "wire/records.hpp"

namespace pellucor {

// The collaborators are only named here; whoever builds or uses one includes
// its interface, so that the entry's header pulls in no other layer.
class ApprovalControlling;
class NativeOperating;
class ProcessIdentityValidating;

// Builds the collaborators of one run. The entry asks for each at the moment it
// needs it, in the order the run needs them, so that nothing is built for a
// refused invocation.
class PellucorComponents {
 public:
  virtual ~PellucorComponents() = default;
  virtual const platform::Clock& clock() = 0;
  virtual std::unique_ptr<ProcessIdentityValidating> makeIdentityValidator() = 0;
  virtual std::unique_ptr<NativeOperating> makeNativeOperations() = 0;
  virtual std::unique_ptr<ApprovalControlling> makeApprovalControl() = 0;
};

// Everything one run puts out: the writes, in order, each one whole buffer of
// bytes, and the exit status.
struct ProcessOutput {
  struct Write {
    int fd;
    std::string bytes;
  };
  std::vector<Write> writes;
  int status = 0;
};

// The whole life of the helper process.
struct PellucorMain {
  static constexpr int kExitSuccess = 0;
  static constexpr int kExitRefused = 64;
  static constexpr int kExitInternal = 70;
  static constexpr double kReadDeadlineSeconds = 2.0;
  static inline const std::string kFallbackRequestID = "00000000-0000-4000-8000-000000000000";
  static inline const std::string kFallbackOperation = "parse";

  // Runs one invocation, reading the request (in request mode) from
  // `inputFd`, and returns what the process must write and its status. Never
  // throws.
  static ProcessOutput run(const std::vector<std::string>& arguments, int inputFd,
                           PellucorComponents& components);

  // Encodes a response for standard output: the JSON, then a line feed, as two
  // writes; status 0 when ok, 64 when not; nothing and 70 when the encoding
  // fails or exceeds 16777216 bytes.
  static ProcessOutput emit(const Response& response);

  // The process entry: runs with standard input, writes every byte of each
  // buffer with write(2) (repeating interrupted and short writes, waiting
  // while a non-blocking descriptor is full) and ends the process at once
  // with _exit, so that an abandoned worker can neither run after the output
  // nor delay the exit.
  [[noreturn]] static void main(int argc, const char* const* argv, PellucorComponents& components);
};

}  // namespace pellucor
