// Apple platforms: there is no pipe2, so both ends are marked right after the
// pipe is made; POSIX_SPAWN_CLOEXEC_DEFAULT closes in the child every
// descriptor that the file actions do not name (they name 0, 1 and 2).
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "client/child_descriptors.hpp"

namespace pellucor::client {

int openCloseOnExecPipe(int (&ends)[2]) {
  if (pipe(ends) != 0) return errno;
  for (const int end : ends) {
    if (fcntl(end, F_SETFD, FD_CLOEXEC) != 0) {
      const int error = errno;
      close(ends[0]);
      close(ends[1]);
      return error;
    }
  }
  return 0;
}

int keepOnlyStandardDescriptors(posix_spawn_file_actions_t& /*actions*/, short& flags) {
  flags = static_cast<short>(flags | POSIX_SPAWN_CLOEXEC_DEFAULT);
  return 0;
}

}  // namespace pellucor::client
