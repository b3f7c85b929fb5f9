#include "platform/simulated/simulated_services.hpp"

namespace pellucor::simulated {

std::optional<std::string> SimulatedMainBundle::bundleIdentifier() const { return model().helper.bundleIdentifier; }

std::optional<std::string> SimulatedMainBundle::executablePath() const { return model().helper.executablePath; }

std::string SimulatedMainBundle::bundlePath() const { return model().helper.bundlePath; }

std::optional<platform::PlatformValue> SimulatedMainBundle::infoValue(std::string_view key) const {
  const auto found = model().helper.info.find(key);
  if (found == model().helper.info.end()) return std::nullopt;
  return found->second;
}

}  // namespace pellucor::simulated
