// Linux (glibc 2.34 or later): pipe2 makes both ends close-on-exec at once,
// and the spawn closes every descriptor from 3 up in the child.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "client/child_descriptors.hpp"

namespace pellucor::client {

int openCloseOnExecPipe(int (&ends)[2]) { return pipe2(ends, O_CLOEXEC) == 0 ? 0 : errno; }

int keepOnlyStandardDescriptors(posix_spawn_file_actions_t& actions, short& /*flags*/) {
  return posix_spawn_file_actions_addclosefrom_np(&actions, 3);
}

}  // namespace pellucor::client
