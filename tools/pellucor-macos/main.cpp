// The helper's entry on macOS: the real platform services under the system
// composition. No argument but the helper's own, no environment variable and
// no file changes what it does.
//
// The request runs on one worker thread while the main thread runs the main
// run loop for the life of the process: the workspace learns of activation
// changes through notifications delivered there (without it the frontmost
// application would freeze at its first reading), and work the frameworks
// schedule on the main queue is served. The worker ends the process with
// _exit right after the single output, so the run loop never has to stop.

#include <CoreFoundation/CoreFoundation.h>
#include <pthread.h>
#include <unistd.h>

#include <cstddef>
#include <exception>
#include <memory>

#include "driver/pellucor_main.hpp"
#include "driver/standard_descriptors.hpp"
#include "driver/system_components.hpp"
#include "platform/macos/macos_services.hpp"

namespace {

// The status the helper uses for a failure that is its own (see
// PellucorMain); nothing has been written when the entry itself fails.
constexpr int kExitInternal = pellucor::PellucorMain::kExitInternal;

// The request's thread gets the main thread's stack size rather than the
// smaller default of secondary threads, so a deep but admitted request or
// tree never meets a smaller limit than on the main thread.
constexpr std::size_t kWorkerStackBytes = 8 * 1024 * 1024;

struct Invocation {
  int argc;
  const char* const* argv;
};

void* runRequest(void* context) {
  const auto* invocation = static_cast<const Invocation*>(context);
  try {
    pellucor::SystemComponents components(pellucor::platform::macos::makeMacOSServices());
    pellucor::PellucorMain::main(invocation->argc, invocation->argv, components);
  } catch (...) {
    // Composing the real services failed (memory ran out) before anything
    // was written; every later failure is answered inside PellucorMain.
  }
  ::_exit(kExitInternal);
}

// A timer that never fires keeps the main run loop running: a run loop with
// no source or timer returns at once.
void keepMainRunLoopAlive() {
  CFRunLoopTimerRef keepAlive = CFRunLoopTimerCreate(kCFAllocatorDefault, 1.0e12, 1.0e12, 0, 0,
                                                     [](CFRunLoopTimerRef, void*) {}, nullptr);
  CFRunLoopAddTimer(CFRunLoopGetMain(), keepAlive, kCFRunLoopCommonModes);
  CFRelease(keepAlive);
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything is opened: a standard descriptor the host left closed
  // would otherwise be taken by the next file or connection the frameworks
  // open, and receive the response.
  if (!pellucor::openNullOnClosedStandardDescriptors()) ::_exit(kExitInternal);

  static Invocation invocation{argc, argv};

  pthread_attr_t attributes;
  pthread_t worker;
  if (pthread_attr_init(&attributes) != 0 ||
      pthread_attr_setstacksize(&attributes, kWorkerStackBytes) != 0 ||
      pthread_create(&worker, &attributes, runRequest, &invocation) != 0) {
    ::_exit(kExitInternal);
  }
  pthread_attr_destroy(&attributes);
  pthread_detach(worker);

  keepMainRunLoopAlive();
  for (;;) CFRunLoopRun();
}
