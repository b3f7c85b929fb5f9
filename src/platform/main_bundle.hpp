#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/platform_value.hpp"

namespace pellucor::platform {

// The helper's own bundle (the platform's main bundle).
class MainBundleService {
 public:
  virtual ~MainBundleService() = default;
  // The bundle identifier; nothing when the bundle has none.
  virtual std::optional<std::string> bundleIdentifier() const = 0;
  // The path of the executable URL; nothing when the bundle has none.
  virtual std::optional<std::string> executablePath() const = 0;
  // The path of the bundle URL, as the platform reports it (links unresolved).
  virtual std::string bundlePath() const = 0;
  // The info-dictionary value for `key`, typed as the platform types it;
  // nothing when the key is absent.
  virtual std::optional<PlatformValue> infoValue(std::string_view key) const = 0;
};

}  // namespace pellucor::platform
