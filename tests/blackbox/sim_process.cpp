#include "blackbox/sim_process.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace pellucor::blackbox {
namespace {

void writeFile(const std::string& path, const std::string& contents) {
  std::ofstream file(path, std::ios::binary);
  file << contents;
  if (!file) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string replaced(std::string text, const std::string& placeholder, const std::string& value) {
  for (std::size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at)) {
    text.replace(at, placeholder.size(), value);
    at += value.size();
  }
  return text;
}

}  // namespace

SimProcess::SimProcess(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& desktopText, const std::string& standardInput,
                       const std::vector<int>& closedDescriptors) {
  std::string pattern = ::testing::TempDir() + "pellucor-blackbox-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a directory for a run");
  directory_ = pattern;
  writeFile(directory_ + "/desktop.json", desktopText);
  writeFile(directory_ + "/stdin", standardInput);

  std::vector<std::string> argv{program};
  for (const std::string& argument : arguments) {
    argv.push_back(replaced(replaced(argument, "{desktop}", directory_ + "/desktop.json"), "{events}",
                            directory_ + "/events.jsonl"));
  }
  std::vector<char*> argvPointers;
  for (std::string& argument : argv) argvPointers.push_back(argument.data());
  argvPointers.push_back(nullptr);

  // The tool shares this descriptor's offset, so afterwards the offset tells
  // whether it read anything.
  inputFd_ = ::open((directory_ + "/stdin").c_str(), O_RDONLY | O_CLOEXEC);
  const int outputFd = ::open((directory_ + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int errorFd = ::open((directory_ + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (inputFd_ < 0 || outputFd < 0 || errorFd < 0) throw std::runtime_error("cannot open the standard streams");

  pid_ = ::fork();
  if (pid_ == 0) {
    // Only async-signal-safe calls between fork and exec.
    if (::dup2(inputFd_, STDIN_FILENO) < 0 || ::dup2(outputFd, STDOUT_FILENO) < 0 ||
        ::dup2(errorFd, STDERR_FILENO) < 0) {
      ::_exit(127);
    }
    for (const int fd : closedDescriptors) ::close(fd);
    ::execv(argvPointers[0], argvPointers.data());
    ::_exit(127);
  }
  ::close(outputFd);
  ::close(errorFd);
  if (pid_ < 0) throw std::runtime_error("cannot start " + program);
}

SimProcess::~SimProcess() {
  if (pid_ > 0) {
    int ignored = 0;
    ::waitpid(pid_, &ignored, 0);
  }
  if (inputFd_ >= 0) ::close(inputFd_);
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

SimOutcome SimProcess::finish() {
  int waitStatus = 0;
  while (::waitpid(pid_, &waitStatus, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  SimOutcome outcome;
  outcome.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
  outcome.standardOutput = readFile(directory_ + "/stdout");
  outcome.standardError = readFile(directory_ + "/stderr");
  outcome.inputTouched = ::lseek(inputFd_, 0, SEEK_CUR) != 0;
  std::istringstream events(readFile(directory_ + "/events.jsonl"));
  for (std::string line; std::getline(events, line);) outcome.events.push_back(line);
  return outcome;
}

}  // namespace pellucor::blackbox
