#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "wire/enumerations.hpp"
#include "wire/records.hpp"

namespace pellucor::call {

// What pellucor-call was asked to do.
struct CallCommandLine {
  std::vector<std::string> helper;  // the helper command, split into words
  bool approval = false;
  std::optional<std::string> pngPath;
  std::optional<std::chrono::milliseconds> limit;
  PellucorOperation operation = PellucorOperation::observeAX;
  Target target;  // frontmostRequired true, surface "plugin.application" unless given
  std::optional<PhysicalKey> key;
  std::vector<KeyModifier> modifiers;
};

// The words of a command line as a POSIX shell splits a simple one: blanks
// separate words; single quotes keep everything, double quotes keep
// everything but a backslash before `"`, `\` or `$`; a backslash outside
// quotes keeps the next character. No expansion of any kind. Nothing when a
// quote is left open or the line ends in a backslash.
std::optional<std::vector<std::string>> splitCommandLine(std::string_view line);

// Parses the arguments after the program name. A usage error is a text.
std::variant<CallCommandLine, std::string> parseCallCommandLine(const std::vector<std::string_view>& arguments);

inline constexpr std::string_view kUsage =
    "usage: pellucor-call --helper COMMAND [--limit-ms N] [--png FILE] [--] OPERATION\n"
    "           --pid N --bundle-id ID --app-id ID --app-name NAME --app-revision REV\n"
    "           [--window-id N] [--surface S] [--key K] [--modifier M]...\n"
    "       pellucor-call --helper COMMAND [--limit-ms N] --approval\n"
    "COMMAND is the helper's path, or a command line such as 'pellucor-sim --desktop FILE'\n"
    "(split as a shell splits words, without expansion). OPERATION is observe_ax,\n"
    "enumerate_target_windows, capture_target_window, key or hotkey. Exit status 0 only\n"
    "when the helper answered ok and every check passed; 1 otherwise; 2 for a usage error.\n";

}  // namespace pellucor::call
