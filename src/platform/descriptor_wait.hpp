#pragma once

namespace pellucor::platform {

// What a descriptor is waited for.
enum class DescriptorDirection { readable, writable };

// How a wait for a descriptor ended.
enum class DescriptorWait {
  ready,        // the descriptor is ready, or not open (the next read or write reports that)
  timedOut,     // the time ran out first
  interrupted,  // a signal arrived; the caller decides whether to wait again
  failed,       // the wait itself failed, or cannot be made for this descriptor
};

// Waits until `fd` is ready in `direction`, for at most `timeoutMilliseconds`
// (a negative timeout waits without limit). Works for every kind of
// descriptor a host may hand over: pipe, socket, regular file, terminal and
// other devices. A descriptor below FD_SETSIZE is waited for with select(2),
// since poll(2) on macOS answers POLLNVAL at once for terminals and devices;
// a larger one with poll(2), where a descriptor that poll refuses although it
// is open cannot be waited for and fails. A negative descriptor is ignored
// as poll(2) ignores it: the wait lasts the whole timeout.
DescriptorWait waitForDescriptor(int fd, DescriptorDirection direction, int timeoutMilliseconds);

}  // namespace pellucor::platform
