#pragma once

#include <signal.h>
#include <unistd.h>

#include <string>
#include <thread>

namespace pellucor::testing {

// One pipe whose write end a test controls, standing in for the standard
// input the host writes. Writes larger than the pipe's buffer go through a
// writer thread, so that the reader can drain them.
class TestPipe {
 public:
  TestPipe() {
    if (::pipe(fds_) != 0) fds_[0] = fds_[1] = -1;
    // A reader that stops early must not end the test with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
  }
  ~TestPipe() {
    // Closing the read end first releases a writer blocked on a full pipe.
    closeReadEnd();
    joinWriter();
    closeWriteEnd();
  }
  TestPipe(const TestPipe&) = delete;
  TestPipe& operator=(const TestPipe&) = delete;

  bool isOpen() const { return fds_[0] >= 0; }
  int readEnd() const { return fds_[0]; }
  int writeEnd() const { return fds_[1]; }

  // Writes `bytes` from a thread, then closes the write end unless asked to
  // keep it open.
  void send(std::string bytes, bool close = true) {
    writer_ = std::thread([this, bytes = std::move(bytes), close] {
      std::size_t done = 0;
      while (done < bytes.size()) {
        const ssize_t count = ::write(fds_[1], bytes.data() + done, bytes.size() - done);
        if (count <= 0) break;
        done += static_cast<std::size_t>(count);
      }
      if (close) closeWriteEnd();
    });
  }
  // Waits until everything given to send() is in the pipe (or refused).
  void joinWriter() {
    if (writer_.joinable()) writer_.join();
  }
  void closeWriteEnd() {
    if (fds_[1] >= 0) ::close(fds_[1]);
    fds_[1] = -1;
  }
  void closeReadEnd() {
    if (fds_[0] >= 0) ::close(fds_[0]);
    fds_[0] = -1;
  }
  // Every byte still unread, once the write end is closed.
  std::string unread() {
    joinWriter();
    closeWriteEnd();
    std::string rest;
    char buffer[4096];
    ssize_t count = 0;
    while ((count = ::read(fds_[0], buffer, sizeof buffer)) > 0) rest.append(buffer, static_cast<std::size_t>(count));
    return rest;
  }

 private:
  int fds_[2] = {-1, -1};
  std::thread writer_;
};

}  // namespace pellucor::testing
