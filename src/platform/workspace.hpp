#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pellucor::platform {

// A running application as the workspace describes it.
struct RunningApplication {
  std::int32_t pid = 0;
  std::optional<std::string> bundleIdentifier;
  std::optional<std::string> localizedName;
};

class WorkspaceService {
 public:
  virtual ~WorkspaceService() = default;
  // The frontmost application; nothing when there is none.
  virtual std::optional<RunningApplication> frontmostApplication() const = 0;
};

}  // namespace pellucor::platform
