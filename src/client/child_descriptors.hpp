#pragma once

#include <spawn.h>

// The two steps of starting a child that differ between the platforms the
// client builds on; the build compiles one of child_descriptors_linux.cpp and
// child_descriptors_apple.cpp.
namespace pellucor::client {

// Opens a pipe whose two ends are close-on-exec. Returns 0 or an errno value.
int openCloseOnExecPipe(int (&ends)[2]);

// Arranges that the child keeps descriptors 0, 1 and 2 only. Called after the
// file actions that set those three; may add to `flags`, which the caller
// then sets on `attributes`. Returns 0 or an errno value.
int keepOnlyStandardDescriptors(posix_spawn_file_actions_t& actions, short& flags);

}  // namespace pellucor::client
