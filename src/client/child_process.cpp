#include "client/child_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <system_error>
#include <utility>

#include "client/child_descriptors.hpp"

// The caller's environment, handed to the helper unchanged.
extern char** environ;

namespace pellucor::client {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kChunk = 65536;

std::string describe(std::string_view call, int error) {
  return std::string(call) + ": " + std::generic_category().message(error);
}

// One descriptor, closed with its owner.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { reset(); }
  int get() const noexcept { return fd_; }
  bool open() const noexcept { return fd_ >= 0; }
  void reset(int fd = -1) noexcept {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

struct Pipe {
  Descriptor read;
  Descriptor write;
};

// Moves a close-on-exec descriptor to 3 or above, so that no pipe end can
// stand where the child's standard streams are set up (a caller that runs
// with a standard stream closed gets 0, 1 or 2 from pipe()).
int lifted(int fd) {
  if (fd >= 3) return fd;
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  const int error = errno;
  close(fd);
  errno = error;
  return moved;
}

int openPipe(Pipe& pipe) {
  int ends[2] = {-1, -1};
  if (const int error = openCloseOnExecPipe(ends); error != 0) return error;
  pipe.read.reset(lifted(ends[0]));
  if (!pipe.read.open()) {
    const int error = errno;
    close(ends[1]);
    return error;
  }
  pipe.write.reset(lifted(ends[1]));
  return pipe.write.open() ? 0 : errno;
}

class SpawnSetup {
 public:
  SpawnSetup() {
    actionsError_ = posix_spawn_file_actions_init(&actions_);
    attributesError_ = posix_spawnattr_init(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  ~SpawnSetup() {
    if (actionsError_ == 0) posix_spawn_file_actions_destroy(&actions_);
    if (attributesError_ == 0) posix_spawnattr_destroy(&attributes_);
  }

  // The child's standard streams are the pipes' child ends, it starts with
  // an empty signal mask and SIGPIPE at its default (a caller may block or
  // ignore signals; exec keeps both), in a process group of its own, so that
  // one kill reaches anything it started.
  int prepare(int input, int output, int error) {
    if (actionsError_ != 0) return actionsError_;
    if (attributesError_ != 0) return attributesError_;
    int failure = posix_spawn_file_actions_adddup2(&actions_, input, 0);
    if (failure == 0) failure = posix_spawn_file_actions_adddup2(&actions_, output, 1);
    if (failure == 0) failure = posix_spawn_file_actions_adddup2(&actions_, error, 2);
    short flags = POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (failure == 0) failure = keepOnlyStandardDescriptors(actions_, flags);
    sigset_t none;
    sigemptyset(&none);
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    if (failure == 0) failure = posix_spawnattr_setflags(&attributes_, flags);
    if (failure == 0) failure = posix_spawnattr_setpgroup(&attributes_, 0);
    if (failure == 0) failure = posix_spawnattr_setsigmask(&attributes_, &none);
    if (failure == 0) failure = posix_spawnattr_setsigdefault(&attributes_, &pipeSignal);
    return failure;
  }

  const posix_spawn_file_actions_t* actions() const noexcept { return &actions_; }
  const posix_spawnattr_t* attributes() const noexcept { return &attributes_; }

 private:
  posix_spawn_file_actions_t actions_{};
  posix_spawnattr_t attributes_{};
  int actionsError_ = 0;
  int attributesError_ = 0;
};

bool setNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// Writes once with SIGPIPE held back in this thread, so that a helper that
// has closed its end gives EPIPE instead of ending the caller. A SIGPIPE the
// write raised is taken off again; one that was pending before is left.
ssize_t writeWithoutSigpipe(int fd, const char* bytes, std::size_t size, int& error) {
  sigset_t pipeSignal;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  sigset_t pending;
  sigemptyset(&pending);
  sigpending(&pending);
  const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
  sigset_t previous;
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
  const ssize_t written = write(fd, bytes, size);
  error = written < 0 ? errno : 0;
  if (written < 0 && error == EPIPE && !wasPending) {
    sigemptyset(&pending);
    sigpending(&pending);
    if (sigismember(&pending, SIGPIPE) == 1) {
      int taken = 0;
      sigwait(&pipeSignal, &taken);
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return written;
}

// At most a minute at a time, so that the conversion cannot overflow.
int millisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left, 0, 60000));
}

void pause(std::chrono::milliseconds length) {
  timespec request{0, static_cast<long>(length.count()) * 1000000L};
  while (nanosleep(&request, &request) != 0 && errno == EINTR) {
  }
}

// Reaps the child, waiting as long as it takes (it has been killed, or has
// ended). Returns the wait status, or -1 when waiting failed.
int reap(pid_t pid) {
  int status = 0;
  for (;;) {
    if (waitpid(pid, &status, 0) == pid) return status;
    if (errno != EINTR) return -1;
  }
}

void recordStatus(HelperRun& run, int status) {
  if (WIFEXITED(status)) {
    run.end = RunEnd::exited;
    run.exitStatus = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    run.end = RunEnd::signalled;
    run.signalNumber = WTERMSIG(status);
  }
}

// Reads what is there on a non-blocking descriptor, keeping the first `keep`
// bytes and noting in `truncated` that more came. Returns false at end of
// file or when the read failed (then `error` is set).
bool drain(int fd, std::string& into, std::size_t keep, bool& truncated, int& error) {
  std::array<char, kChunk> buffer{};
  const ssize_t got = read(fd, buffer.data(), buffer.size());
  if (got < 0) {
    error = (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? 0 : errno;
    return error == 0;
  }
  if (got == 0) return false;
  const auto size = static_cast<std::size_t>(got);
  const std::size_t room = keep > into.size() ? keep - into.size() : 0;
  into.append(buffer.data(), std::min(room, size));
  if (size > room) truncated = true;
  return true;
}

}  // namespace

HelperRun runHelper(const std::vector<std::string>& argv, std::string_view input, const RunLimits& limits) {
  HelperRun run;
  run.argv = argv;
  const auto start = Clock::now();
  const auto deadline = start + limits.wallClock;
  const auto finish = [&]() -> HelperRun& {
    run.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return run;
  };

  if (argv.empty()) {
    run.end = RunEnd::spawnFailed;
    run.failure = "no program to start";
    return finish();
  }
  Pipe in, out, err;
  for (Pipe* pipe : {&in, &out, &err}) {
    if (const int error = openPipe(*pipe); error != 0) {
      run.end = RunEnd::failed;
      run.failure = describe("pipe", error);
      return finish();
    }
  }
  SpawnSetup setup;
  if (const int error = setup.prepare(in.read.get(), out.write.get(), err.write.get()); error != 0) {
    run.end = RunEnd::failed;
    run.failure = describe("posix_spawn set-up", error);
    return finish();
  }
  std::vector<char*> words;
  words.reserve(argv.size() + 1);
  for (const std::string& word : argv) words.push_back(const_cast<char*>(word.c_str()));
  words.push_back(nullptr);
  const bool isPath = argv.front().find('/') != std::string::npos;
  pid_t pid = -1;
  const int spawned = isPath ? posix_spawn(&pid, words[0], setup.actions(), setup.attributes(), words.data(), environ)
                             : posix_spawnp(&pid, words[0], setup.actions(), setup.attributes(), words.data(), environ);
  if (spawned != 0) {
    run.end = RunEnd::spawnFailed;
    run.failure = describe("posix_spawn " + argv.front(), spawned);
    return finish();
  }
  run.pid = pid;
  in.read.reset();
  out.write.reset();
  err.write.reset();

  bool killed = false;
  const auto stop = [&](RunEnd why) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    killed = true;
    run.end = why;
  };
  const auto ioFailure = [&](std::string_view call, int error) {
    run.failure = describe(call, error);
    stop(RunEnd::failed);
  };

  if (input.empty() || !setNonBlocking(in.write.get())) in.write.reset();
  if (!setNonBlocking(out.read.get()) || !setNonBlocking(err.read.get())) ioFailure("fcntl", errno);

  // Writes what standard input takes now. A closed reading end is the helper
  // having answered early.
  const auto feed = [&] {
    int error = 0;
    const std::size_t rest = input.size() - run.inputWritten;
    const ssize_t written =
        writeWithoutSigpipe(in.write.get(), input.data() + run.inputWritten, std::min(rest, kChunk), error);
    if (written > 0) {
      run.inputWritten += static_cast<std::size_t>(written);
      if (run.inputWritten == input.size()) in.write.reset();
    } else if (written < 0 && error == EPIPE) {
      run.brokenPipe = true;
      in.write.reset();
    } else if (written < 0 && error != EAGAIN && error != EWOULDBLOCK && error != EINTR) {
      ioFailure("write standard input", error);
    }
  };
  bool outputOverflowed = false;
  const auto take = [&](Descriptor& from, std::string& into, std::size_t keep, bool& truncated,
                        std::string_view name) {
    int error = 0;
    if (!drain(from.get(), into, keep, truncated, error)) from.reset();
    if (error != 0) ioFailure(name, error);
  };

  // Standard input, output and error together until both outputs end.
  while (!killed && (out.read.open() || err.read.open())) {
    std::array<pollfd, 3> fds{};
    nfds_t count = 0;
    const auto watch = [&](const Descriptor& d, short events) -> pollfd* {
      if (!d.open()) return nullptr;
      fds[count] = pollfd{d.get(), events, 0};
      return &fds[count++];
    };
    const pollfd* inReady = watch(in.write, POLLOUT);
    const pollfd* outReady = watch(out.read, POLLIN);
    const pollfd* errReady = watch(err.read, POLLIN);
    if (Clock::now() >= deadline) {
      stop(RunEnd::timedOut);
      break;
    }
    if (poll(fds.data(), count, millisecondsUntil(deadline)) < 0) {
      if (errno == EINTR) continue;
      ioFailure("poll", errno);
      break;
    }
    if (inReady != nullptr && inReady->revents != 0) feed();
    if (!killed && outReady != nullptr && outReady->revents != 0) {
      take(out.read, run.standardOutput, limits.standardOutputBytes, outputOverflowed, "read standard output");
    }
    if (!killed && errReady != nullptr && errReady->revents != 0) {
      take(err.read, run.standardError, limits.standardErrorBytes, run.standardErrorTruncated,
           "read standard error");
    }
    if (!killed && outputOverflowed) stop(RunEnd::outputTooLarge);
  }

  // Both outputs have ended: the helper is ending or has ended.
  while (!killed) {
    int status = 0;
    const pid_t waited = waitpid(pid, &status, WNOHANG);
    if (waited == pid) {
      recordStatus(run, status);
      // Input it never took is refused for certain now that it has ended.
      if (in.write.open()) feed();
      return finish();
    }
    if (waited < 0 && errno != EINTR) {
      ioFailure("waitpid", errno);
      break;
    }
    if (Clock::now() >= deadline) {
      stop(RunEnd::timedOut);
      break;
    }
    pause(std::chrono::milliseconds(std::min(5, std::max(1, millisecondsUntil(deadline)))));
  }
  if (reap(pid) == -1 && run.failure.empty()) run.failure = describe("waitpid", errno);
  return finish();
}

}  // namespace pellucor::client
