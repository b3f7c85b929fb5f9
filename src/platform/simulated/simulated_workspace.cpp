#include "platform/simulated/simulated_services.hpp"

namespace pellucor::simulated {

std::optional<platform::RunningApplication> SimulatedWorkspace::frontmostApplication() const {
  auto answer = state().nextFrontmost();
  state().delay(SimulatedCall::frontmostApplication);
  return answer;
}

}  // namespace pellucor::simulated
