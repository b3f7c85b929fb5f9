// The cost of one whole request on the simulated desktop, from posix_spawn
// to the end of the process, beside a bare posix_spawn of /bin/true from the
// same program: most of a request is starting the process (loading shared
// objects, relocating them, running their initialisers) rather than the
// request itself. ProcessStart/ratio runs the two alternately, so that both see
// the same load, and reports the request's time over the spawn's.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

// An observe_ax request for the example desktop's focused plugin window.
constexpr const char* kRequest =
    R"({"protocol":"zor-vane.pellucor/v2","request_id":"6f1c2e8a-3b4d-4c5e-9f60-718293a4b5c6",)"
    R"("nonce":"BwgJCgsMDQ4PEBESExQVFhcYGRobHB0eHyAhIiMkJSY","operation":"observe_ax","target":{"pid":5021,)"
    R"("bundle_id":"com.brevant.zorvane","frontmost_required":true,"surface":"plugin.application",)"
    R"("application_id":"5f2c9a7e41b08d3c6e9f1a24","application_name":"Ledgerline","application_revision":"2024.11.3"},)"
    R"("params":{}})"
    "\n";

// The request in a file of its own, removed at exit.
class RequestFile {
 public:
  RequestFile() {
    char name[] = "/tmp/pellucor-process-start-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0) std::abort();
    const std::string request = kRequest;
    if (::write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) std::abort();
    ::close(fd);
    path_ = name;
  }
  ~RequestFile() { ::unlink(path_.c_str()); }
  RequestFile(const RequestFile&) = delete;
  RequestFile& operator=(const RequestFile&) = delete;
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

// Spawns `argv` with standard input from `input` and the other streams to
// /dev/null, waits for it, and gives the wall time in seconds; -1 when it
// could not be spawned or did not exit with status 0.
double spawnAndWait(const std::vector<std::string>& arguments, const char* input) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, input, O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  int status = 0;
  const bool waited = spawned == 0 && ::waitpid(pid, &status, 0) == pid;
  const auto end = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&actions);
  if (!waited || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::chrono::duration<double>(end - start).count();
}

const std::vector<std::string> kTrue{"/bin/true"};
const std::vector<std::string> kSimRequest{PELLUCOR_SIM, "--desktop", PELLUCOR_EXAMPLE_DESKTOP};

void timeProcess(benchmark::State& state, const std::vector<std::string>& arguments) {
  const RequestFile request;
  for (auto _ : state) {
    const double seconds = spawnAndWait(arguments, request.path());
    if (seconds < 0) {
      state.SkipWithError("the process failed");
      break;
    }
    state.SetIterationTime(seconds);
  }
}
BENCHMARK_CAPTURE(timeProcess, SpawnTrue, kTrue)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(timeProcess, SimRequest, kSimRequest)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_ProcessStartRatio(benchmark::State& state) {
  const RequestFile request;
  double spawnSeconds = 0;
  double requestSeconds = 0;
  for (auto _ : state) {
    const double spawn = spawnAndWait(kTrue, request.path());
    const double whole = spawnAndWait(kSimRequest, request.path());
    if (spawn < 0 || whole < 0) {
      state.SkipWithError("a process failed");
      break;
    }
    spawnSeconds += spawn;
    requestSeconds += whole;
    state.SetIterationTime(spawn + whole);
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["spawn_true_us"] = 1e6 * spawnSeconds / n;
  state.counters["sim_request_us"] = 1e6 * requestSeconds / n;
  state.counters["ratio"] = requestSeconds / spawnSeconds;
}
BENCHMARK(BM_ProcessStartRatio)->Name("ProcessStart/ratio")->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
