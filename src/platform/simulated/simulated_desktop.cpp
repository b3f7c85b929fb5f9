#include "platform/simulated/simulated_desktop.hpp"

#include <system_error>
#include <utility>

#include "platform/simulated/desktop_file_reader.hpp"
#include "platform/simulated/desktop_json.hpp"
#include "platform/simulated/desktop_state.hpp"
#include "platform/simulated/file_contents.hpp"
#include "platform/simulated/simulated_services.hpp"

namespace pellucor::simulated {

namespace {

std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

SimulatedDesktop::SimulatedDesktop(Passkey, std::unique_ptr<DesktopState> state) : state_(std::move(state)) {}

SimulatedDesktop::~SimulatedDesktop() = default;

std::shared_ptr<SimulatedDesktop> SimulatedDesktop::loadFile(const std::string& path,
                                                             std::optional<std::string> eventsPath) {
  std::string text;
  try {
    text = readFileContents(path);
  } catch (const std::system_error& error) {
    throw DesktopFileError(path + ": cannot be read (" + error.code().message() + ")");
  }
  return load(text, path, directoryOf(path), eventsPath);
}

std::shared_ptr<SimulatedDesktop> SimulatedDesktop::loadText(std::string_view json, const std::string& baseDirectory,
                                                             std::optional<std::string> eventsPath) {
  return load(json, "desktop file", baseDirectory, eventsPath);
}

std::shared_ptr<SimulatedDesktop> SimulatedDesktop::load(std::string_view json, const std::string& source,
                                                         const std::string& baseDirectory,
                                                         const std::optional<std::string>& eventsPath) {
  DesktopModel model;
  try {
    model = readDesktopFile(json, baseDirectory);
  } catch (const FormatViolation& violation) {
    throw DesktopFileError(source + ": " + violation.what());
  }
  std::unique_ptr<DesktopState> state;
  try {
    state = std::make_unique<DesktopState>(std::move(model), eventsPath);
  } catch (const std::system_error& error) {
    throw DesktopFileError(*eventsPath + ": the events file cannot be opened (" + error.code().message() + ")");
  }
  return std::make_shared<SimulatedDesktop>(Passkey{}, std::move(state));
}

platform::PlatformServices SimulatedDesktop::services() const {
  // Each service shares ownership of this desktop while pointing at its state.
  const std::shared_ptr<DesktopState> state(shared_from_this(), state_.get());
  platform::PlatformServices services;
  services.clock = std::make_shared<platform::SystemClock>();
  services.mainBundle = std::make_shared<SimulatedMainBundle>(state);
  services.fileSystem = std::make_shared<SimulatedFileSystem>(state);
  services.processTable = std::make_shared<SimulatedProcessTable>(state);
  services.codeSigning = std::make_shared<SimulatedCodeSigning>(state);
  services.workspace = std::make_shared<SimulatedWorkspace>(state);
  services.accessibility = std::make_shared<SimulatedAccessibility>(state);
  services.screenCapture = std::make_shared<SimulatedScreenCapture>(state);
  services.keyboard = std::make_shared<SimulatedKeyboardEvents>(state);
  return services;
}

std::vector<std::string> SimulatedDesktop::events() const { return state_->events().lines(); }

}  // namespace pellucor::simulated
