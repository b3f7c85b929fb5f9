#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace pellucor::blackbox {

// Everything one run of the built tool left behind.
struct SimOutcome {
  std::string standardOutput;
  std::string standardError;
  int status = -1;                  // the exit status; -1 when it did not exit normally
  std::vector<std::string> events;  // the lines of the events file
  bool inputTouched = false;        // whether the tool read any of its standard input
};

// One run of the tool in a directory of its own: the desktop file and the
// standard input are files there, and so are standard output, standard error
// and the events file, so that many runs can go at once without a pipe ever
// filling up. Standard input is a regular file: it is readable at once and
// ends where the file ends, as a pipe whose writer has closed does.
class SimProcess {
 public:
  // Starts `program` with `arguments`, where "{desktop}" and "{events}" stand
  // for the paths of the desktop file (holding `desktopText`) and the events
  // file. The standard descriptors in `closedDescriptors` (0, 1 or 2) are
  // closed in the process, as a host may leave them. Throws
  // std::runtime_error when the files cannot be written or the process cannot
  // be started.
  SimProcess(const std::string& program, const std::vector<std::string>& arguments, const std::string& desktopText,
             const std::string& standardInput, const std::vector<int>& closedDescriptors = {});
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;
  ~SimProcess();

  // Waits for the process to end and collects what it left behind. Call once.
  SimOutcome finish();

 private:
  std::string directory_;
  int inputFd_ = -1;
  pid_t pid_ = -1;
};

}  // namespace pellucor::blackbox
