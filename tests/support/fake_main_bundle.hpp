#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/main_bundle.hpp"

namespace pellucor::testing {

// The helper's own bundle, as plain fields.
class FakeMainBundle final : public platform::MainBundleService {
 public:
  std::optional<std::string> identifier;
  std::optional<std::string> executable;
  std::string path = "/";
  std::map<std::string, platform::PlatformValue, std::less<>> info;

  std::optional<std::string> bundleIdentifier() const override { return identifier; }
  std::optional<std::string> executablePath() const override { return executable; }
  std::string bundlePath() const override { return path; }
  std::optional<platform::PlatformValue> infoValue(std::string_view key) const override {
    const auto found = info.find(key);
    if (found == info.end()) return std::nullopt;
    return found->second;
  }
};

}  // namespace pellucor::testing
