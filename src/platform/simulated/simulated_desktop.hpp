#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform_services.hpp"

namespace pellucor::simulated {

// A desktop file that cannot be read or does not match the format; what() is
// one line, e.g. "desktop.json: frontmost.pid must be an integer".
class DesktopFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class DesktopState;

// Every platform service answered from a desktop file (docs/desktop-format.md),
// with the process's real clocks. The desktop keeps its own positions in the
// file's sequences and the events its services caused; its services may be
// used from any thread, and each keeps the desktop alive.
class SimulatedDesktop : public std::enable_shared_from_this<SimulatedDesktop> {
  struct Passkey {
    explicit Passkey() = default;
  };

 public:
  // Reads the desktop file at `path`. Throws DesktopFileError, its message
  // starting with `path`. `eventsPath`: the file every event is appended to
  // (created if missing; a file that cannot be opened is a DesktopFileError
  // starting with that path); nothing: events are only kept in memory.
  static std::shared_ptr<SimulatedDesktop> loadFile(const std::string& path,
                                                    std::optional<std::string> eventsPath = std::nullopt);
  // The same from the text of a desktop file, whose messages start with
  // "desktop file"; `baseDirectory` resolves relative "png" paths.
  static std::shared_ptr<SimulatedDesktop> loadText(std::string_view json, const std::string& baseDirectory,
                                                    std::optional<std::string> eventsPath = std::nullopt);

  SimulatedDesktop(Passkey, std::unique_ptr<DesktopState> state);
  ~SimulatedDesktop();
  SimulatedDesktop(const SimulatedDesktop&) = delete;
  SimulatedDesktop& operator=(const SimulatedDesktop&) = delete;

  // Every service, each sharing ownership of this desktop.
  platform::PlatformServices services() const;

  // The events recorded so far, one compact JSON object per event (members in
  // ascending key order), in the order they happened; also what was appended
  // to the events file.
  std::vector<std::string> events() const;

 private:
  static std::shared_ptr<SimulatedDesktop> load(std::string_view json, const std::string& source,
                                                const std::string& baseDirectory,
                                                const std::optional<std::string>& eventsPath);

  std::unique_ptr<DesktopState> state_;
};

}  // namespace pellucor::simulated
