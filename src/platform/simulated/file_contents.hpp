#pragma once

#include <string>

namespace pellucor::simulated {

// The whole content of the file at `path`. Throws std::system_error with the
// operating system's reason when it cannot be read (a directory included).
std::string readFileContents(const std::string& path);

}  // namespace pellucor::simulated
