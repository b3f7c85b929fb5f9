#include "platform/simulated/simulated_services.hpp"

namespace pellucor::simulated {

std::int32_t SimulatedProcessTable::parentProcessID() const {
  state().delay(SimulatedCall::parentPid);
  return model().helper.parentPid;
}

std::optional<std::string> SimulatedProcessTable::executablePath(std::int32_t pid) const {
  state().delay(SimulatedCall::processPath);
  const auto process = model().processes.find(pid);
  if (process == model().processes.end() || !process->second.path) return std::nullopt;
  // The kernel's buffer holds a C string: it ends at the first zero byte, and
  // an empty path is a length below 1.
  std::string path = process->second.path->substr(0, process->second.path->find('\0'));
  if (path.empty()) return std::nullopt;
  return path;
}

std::optional<std::int32_t> SimulatedProcessTable::parentOf(std::int32_t pid) const {
  state().delay(SimulatedCall::processInfo);
  const auto process = model().processes.find(pid);
  if (process == model().processes.end()) return std::nullopt;
  return process->second.parentPid;
}

}  // namespace pellucor::simulated
