#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.hpp"
#include "text/file_path.hpp"

namespace pellucor::testing {

// A file system without symbolic links, whose bundles a test lists. Machines
// with links or unreadable directories are drawn as simulated desktops.
class FakeFileSystem final : public platform::FileSystemService {
 public:
  std::map<std::string, std::optional<std::string>, std::less<>> bundles;  // unlisted: no bundle

  std::string resolvingSymlinksInPath(std::string_view path) const override {
    return text::standardizeFilePath(path);
  }
  std::optional<bool> isSymbolicLink(std::string_view) const override { return false; }
  std::optional<platform::OpenedBundle> openBundle(std::string_view path) const override {
    const auto found = bundles.find(path);
    if (found == bundles.end()) return std::nullopt;
    return platform::OpenedBundle{found->second};
  }
};

}  // namespace pellucor::testing
