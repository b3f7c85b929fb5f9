// pellucor-sim: the helper's own entry, with every platform service answered
// by a simulated desktop described in a desktop file (docs/desktop-format.md).
//
//   pellucor-sim --desktop FILE [--events FILE] [--] [HELPER-ARGUMENT ...]
//
// Standard input, output, error and the exit status are the helper's, byte
// for byte. Only the tool's own failures (no usable desktop, system objects
// that cannot be composed over it) are its own: one line on standard error
// starting with "pellucor-sim: ", nothing on standard output, status 78, and
// standard input left unread.

#include <unistd.h>

#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "driver/pellucor_main.hpp"
#include "driver/standard_descriptors.hpp"
#include "driver/system_components.hpp"
#include "platform/simulated/simulated_desktop.hpp"
#include "sim_command_line.hpp"

namespace {

// The configuration-error status of sysexits, distinct from every status the
// helper itself uses (0, 64, 70).
constexpr int kExitDesktopUnusable = 78;

[[noreturn]] void refuse(std::string_view reason) {
  std::string line = "pellucor-sim: ";
  for (const char c : reason) line += (c == '\n' || c == '\r') ? ' ' : c;
  line += '\n';
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
  ::_exit(kExitDesktopUnusable);
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything is opened: a standard descriptor the host left closed
  // would otherwise be taken by the desktop or the events file.
  if (!pellucor::openNullOnClosedStandardDescriptors()) {
    refuse("a closed standard descriptor could not be opened on /dev/null");
  }
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
  const auto parsed = pellucor::sim::parseSimCommandLine(arguments);
  if (const auto* reason = std::get_if<std::string>(&parsed)) refuse(*reason);
  const auto& commandLine = std::get<pellucor::sim::SimCommandLine>(parsed);

  std::shared_ptr<pellucor::simulated::SimulatedDesktop> desktop;
  try {
    desktop = pellucor::simulated::SimulatedDesktop::loadFile(commandLine.desktopPath, commandLine.eventsPath);
  } catch (const std::exception& error) {
    refuse(error.what());
  } catch (...) {
    refuse(commandLine.desktopPath + ": the desktop could not be loaded");
  }

  // The helper sees its own program name and then exactly its arguments.
  std::vector<const char*> helperArgv{argc > 0 ? argv[0] : "pellucor-sim"};
  for (const std::string& argument : commandLine.helperArguments) helperArgv.push_back(argument.c_str());
  // A composition that fails is the tool's own failure, never an abort.
  std::unique_ptr<pellucor::SystemComponents> components;
  try {
    components = std::make_unique<pellucor::SystemComponents>(desktop->services());
  } catch (const std::exception& error) {
    refuse(commandLine.desktopPath + ": the system objects could not be composed (" + error.what() + ")");
  } catch (...) {
    refuse(commandLine.desktopPath + ": the system objects could not be composed");
  }
  pellucor::PellucorMain::main(static_cast<int>(helperArgv.size()), helperArgv.data(), *components);
}
