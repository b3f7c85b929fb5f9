#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/simulated/simulated_desktop.hpp"

namespace pellucor::simulated::testing {

// A desktop read from inline JSON; relative PNG paths resolve in `baseDirectory`.
inline std::shared_ptr<SimulatedDesktop> desktopFrom(std::string_view json, const std::string& baseDirectory = "/") {
  return SimulatedDesktop::loadText(json, baseDirectory);
}

// The message a desktop text is refused with, or "(accepted)".
inline std::string refusalOf(std::string_view json, const std::string& baseDirectory = "/") {
  try {
    SimulatedDesktop::loadText(json, baseDirectory);
  } catch (const DesktopFileError& error) {
    return error.what();
  }
  return "(accepted)";
}

}  // namespace pellucor::simulated::testing
