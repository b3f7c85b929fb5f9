#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "native/target_validation_records.hpp"
#include "platform/main_bundle.hpp"
#include "platform/workspace.hpp"

namespace pellucor {

using FrontmostProvider = std::function<std::optional<FrontmostIdentity>()>;
using HelperBundleIDProvider = std::function<std::string()>;

// Asks the workspace afresh at every call. Nothing when there is no frontmost
// application, or it lacks a bundle identifier or a localized name.
FrontmostProvider makeFrontmostProvider(std::shared_ptr<const platform::WorkspaceService> workspace);

// The main bundle's identifier, or empty text when it has none.
HelperBundleIDProvider makeHelperBundleIDProvider(std::shared_ptr<const platform::MainBundleService> mainBundle);

}  // namespace pellucor
