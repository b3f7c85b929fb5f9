#include "native/default_providers.hpp"

#include <utility>

namespace pellucor {

FrontmostProvider makeFrontmostProvider(std::shared_ptr<const platform::WorkspaceService> workspace) {
  return [workspace = std::move(workspace)]() -> std::optional<FrontmostIdentity> {
    auto application = workspace->frontmostApplication();
    if (!application || !application->bundleIdentifier || !application->localizedName) return std::nullopt;
    return FrontmostIdentity{application->pid, std::move(*application->bundleIdentifier),
                             std::move(*application->localizedName)};
  };
}

HelperBundleIDProvider makeHelperBundleIDProvider(std::shared_ptr<const platform::MainBundleService> mainBundle) {
  return [mainBundle = std::move(mainBundle)]() { return mainBundle->bundleIdentifier().value_or(std::string()); };
}

}  // namespace pellucor
