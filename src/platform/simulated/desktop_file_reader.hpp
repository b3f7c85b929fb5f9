#pragma once

#include <string>
#include <string_view>

#include "platform/simulated/desktop_model.hpp"

namespace pellucor::simulated {

// Reads the text of a desktop file into its model, decoding the PNG files it
// names (a relative "png" path is taken from `baseDirectory`). Throws
// FormatViolation, naming a member that does not match the format: unknown
// members, wrong types, missing required members, values out of range, names
// of codes that do not exist, unreadable or undecodable PNG files.
DesktopModel readDesktopFile(std::string_view text, const std::string& baseDirectory);

}  // namespace pellucor::simulated
