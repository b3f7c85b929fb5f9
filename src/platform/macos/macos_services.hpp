#pragma once

#include "platform/platform_services.hpp"

namespace pellucor::platform::macos {

// Every platform service of one run, answered by macOS itself.
PlatformServices makeMacOSServices();

}  // namespace pellucor::platform::macos
