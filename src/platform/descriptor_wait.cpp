#include "platform/descriptor_wait.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/select.h>

#include <cerrno>

namespace pellucor::platform {
namespace {

DescriptorWait withSelect(int fd, DescriptorDirection direction, int timeoutMilliseconds) {
  fd_set descriptors;
  FD_ZERO(&descriptors);
  FD_SET(fd, &descriptors);
  timeval timeout{};
  timeout.tv_sec = timeoutMilliseconds / 1000;
  timeout.tv_usec = static_cast<decltype(timeout.tv_usec)>(timeoutMilliseconds % 1000) * 1000;
  fd_set* const readable = direction == DescriptorDirection::readable ? &descriptors : nullptr;
  fd_set* const writable = direction == DescriptorDirection::writable ? &descriptors : nullptr;
  const int ready = ::select(fd + 1, readable, writable, nullptr, timeoutMilliseconds < 0 ? nullptr : &timeout);
  if (ready > 0) return DescriptorWait::ready;
  if (ready == 0) return DescriptorWait::timedOut;
  if (errno == EINTR) return DescriptorWait::interrupted;
  // A descriptor that is not open is left for the read or write to report,
  // as poll(2) leaves it with POLLNVAL.
  if (errno == EBADF) return DescriptorWait::ready;
  return DescriptorWait::failed;
}

DescriptorWait withPoll(int fd, DescriptorDirection direction, int timeoutMilliseconds) {
  const short events = direction == DescriptorDirection::readable ? POLLIN | POLLHUP : POLLOUT;
  pollfd entry{fd, events, 0};
  const int ready = ::poll(&entry, 1, timeoutMilliseconds < 0 ? -1 : timeoutMilliseconds);
  if (ready == 0) return DescriptorWait::timedOut;
  if (ready < 0) return errno == EINTR ? DescriptorWait::interrupted : DescriptorWait::failed;
  // POLLNVAL for a descriptor that is open means that poll cannot wait for
  // it; a blocking read or write would then never be bounded.
  if ((entry.revents & POLLNVAL) != 0 && ::fcntl(fd, F_GETFD) != -1) return DescriptorWait::failed;
  return DescriptorWait::ready;
}

}  // namespace

DescriptorWait waitForDescriptor(int fd, DescriptorDirection direction, int timeoutMilliseconds) {
  if (fd >= 0 && fd < FD_SETSIZE) return withSelect(fd, direction, timeoutMilliseconds);
  return withPoll(fd, direction, timeoutMilliseconds);
}

}  // namespace pellucor::platform
