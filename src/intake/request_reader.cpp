#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>

#include "intake/protocol_parser.hpp"
#include "platform/descriptor_wait.hpp"

namespace pellucor {
namespace {

using namespace intake_errors;

constexpr char kLineFeed = '\n';

bool isBlankAfterLine(char byte) noexcept { return byte == '\t' || byte == '\r' || byte == ' '; }

// Whole milliseconds left until `deadline`, truncated toward zero.
std::int64_t remainingMilliseconds(std::int64_t deadline, const platform::Clock& clock) {
  return (deadline - clock.wallNanoseconds()) / 1'000'000;
}

}  // namespace

std::string ProtocolParser::readOneRequest(int fd, double deadlineSeconds, const platform::Clock& clock) {
  // A window that is not a finite, non-negative number of seconds below a
  // day is refused as an expired one rather than converted unpredictably.
  const double window = std::isfinite(deadlineSeconds) && deadlineSeconds > 0 && deadlineSeconds < 86400
                            ? deadlineSeconds
                            : 0.0;
  const std::int64_t deadline =
      clock.wallNanoseconds() + static_cast<std::int64_t>(window * 1'000'000'000.0);

  std::string buffer;
  bool lineEnded = false;
  for (;;) {
    const std::int64_t remaining = remainingMilliseconds(deadline, clock);
    if (remaining <= 0) fail(kReadTimeout);
    // The wait must bound every kind of input, terminals and devices
    // included, or the blocking read after it could outlast the deadline.
    switch (platform::waitForDescriptor(fd, platform::DescriptorDirection::readable,
                                        static_cast<int>(std::min<std::int64_t>(remaining, INT_MAX)))) {
      case platform::DescriptorWait::ready:
        break;
      case platform::DescriptorWait::timedOut:
        fail(kReadTimeout);
      case platform::DescriptorWait::interrupted:
        continue;
      case platform::DescriptorWait::failed:
        fail(kPollFailed);
    }
    // Whatever woke the wait (data, hang-up, a descriptor that is not open)
    // is left for read to report.
    char byte = 0;
    const ssize_t count = ::read(fd, &byte, 1);
    if (count < 0) {
      if (errno == EINTR) continue;
      fail(kReadFailed);
    }
    if (count == 0) break;
    if (buffer.size() >= kMaximumRequestBytes) fail(kRequestTooLarge);
    buffer.push_back(byte);
    if (!lineEnded) {
      lineEnded = byte == kLineFeed;
      continue;
    }
    if (isBlankAfterLine(byte)) continue;
    fail(byte == kLineFeed ? kSecondLine : kTrailingInput);
  }
  if (!lineEnded) fail(kUnterminated);
  buffer.resize(buffer.find(kLineFeed));
  return buffer;
}

}  // namespace pellucor
