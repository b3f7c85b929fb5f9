// Feeds arbitrary bytes through a closed pipe to the request reader and
// compares its outcome with a plain model of the framing rules: one LF-ended
// line, then only tabs, carriage returns and spaces, at most 65536 bytes in
// all. The writer always closes before the read starts, so the deadline never
// decides here.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "intake/protocol_parser.hpp"

namespace {

using namespace pellucor;

void check(bool condition) {
  if (!condition) std::abort();
}

// Large enough for one byte beyond the input limit.
constexpr std::size_t kPipeCapacity = 1 << 17;

struct Outcome {
  std::optional<std::string> line;
  std::optional<ErrorDefinition> error;
};

Outcome model(std::string_view input) {
  bool lineEnded = false;
  for (std::size_t i = 0; i < input.size(); ++i) {
    if (i >= ProtocolParser::kMaximumRequestBytes) return {std::nullopt, intake_errors::kRequestTooLarge};
    const char byte = input[i];
    if (!lineEnded) {
      lineEnded = byte == '\n';
    } else if (byte == '\n') {
      return {std::nullopt, intake_errors::kSecondLine};
    } else if (byte != '\t' && byte != '\r' && byte != ' ') {
      return {std::nullopt, intake_errors::kTrailingInput};
    }
  }
  if (!lineEnded) return {std::nullopt, intake_errors::kUnterminated};
  return {std::string(input.substr(0, input.find('\n'))), std::nullopt};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), std::min(size, kPipeCapacity));
  int fds[2];
  check(::pipe(fds) == 0);
  check(::fcntl(fds[1], F_SETPIPE_SZ, static_cast<int>(kPipeCapacity)) >= static_cast<int>(kPipeCapacity));
  std::size_t written = 0;
  while (written < input.size()) {
    const ssize_t count = ::write(fds[1], input.data() + written, input.size() - written);
    check(count > 0);
    written += static_cast<std::size_t>(count);
  }
  ::close(fds[1]);

  const Outcome expected = model(input);
  const platform::SystemClock clock;
  try {
    const std::string line = ProtocolParser::readOneRequest(fds[0], 2.0, clock);
    check(expected.line == line);
  } catch (const PellucorError& error) {
    check(expected.error.has_value() && error.code == expected.error->code &&
          error.message == expected.error->message && !error.retryable);
  }
  ::close(fds[0]);
  return 0;
}
