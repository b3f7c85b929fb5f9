#include "sim_command_line.hpp"

#include <cstddef>
#include <string_view>

namespace pellucor::sim {

std::variant<SimCommandLine, std::string> parseSimCommandLine(const std::vector<std::string>& arguments) {
  std::optional<std::string> desktop;
  std::optional<std::string> events;
  std::size_t next = 0;
  while (next < arguments.size()) {
    const std::string_view option = arguments[next];
    if (option == "--") {
      ++next;
      break;
    }
    std::optional<std::string>* target = nullptr;
    if (option == "--desktop") target = &desktop;
    if (option == "--events") target = &events;
    if (target == nullptr) break;
    if (next + 1 >= arguments.size()) return std::string(option) + " needs a file";
    // A second copy would leave it unclear which desktop a test meant.
    if (target->has_value()) return std::string(option) + " given twice";
    *target = arguments[next + 1];
    next += 2;
  }
  if (!desktop) return std::string("missing --desktop FILE");
  SimCommandLine commandLine{*desktop, events, {}};
  commandLine.helperArguments.assign(arguments.begin() + static_cast<std::ptrdiff_t>(next), arguments.end());
  return commandLine;
}

}  // namespace pellucor::sim
