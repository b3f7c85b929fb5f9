#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace pellucor::sim {

// What pellucor-sim was asked to do: which desktop to simulate, where to log
// its side effects, and the helper's own argument vector, unchanged.
struct SimCommandLine {
  std::string desktopPath;
  std::optional<std::string> eventsPath;
  std::vector<std::string> helperArguments;
};

// Reads the tool's own options from `arguments` (program name removed):
// "--desktop FILE", "--events FILE" and "--". Option reading stops after
// "--", or at the first argument that is none of the three, which then
// starts the helper's arguments. A missing --desktop, an option without its
// file, or an option given twice is refused with a one-line explanation
// (without the tool's prefix or a line feed).
std::variant<SimCommandLine, std::string> parseSimCommandLine(const std::vector<std::string>& arguments);

}  // namespace pellucor::sim
