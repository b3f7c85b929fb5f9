#pragma once

#include <cstdint>
#include <optional>

#include "wire/records.hpp"

namespace pellucor::client {

// The plugin window of the example desktop (examples/desktop.json).
inline Target exampleTarget(std::optional<std::uint32_t> windowID = std::nullopt) {
  Target target;
  target.pid = 5021;
  target.bundleID = "com.brevant.zorvane";
  target.frontmostRequired = true;
  target.windowID = windowID;
  target.surface = "plugin.application";
  target.applicationID = "5f2c9a7e41b08d3c6e9f1a24";
  target.applicationName = "Ledgerline";
  target.applicationRevision = "2024.11.3";
  return target;
}

}  // namespace pellucor::client
