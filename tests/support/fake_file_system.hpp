#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/file_system.hpp"
#include "platform/platform_error.hpp"
#include "text/file_path.hpp"

namespace pellucor::testing {

// A file system without links unless a test lists them: resolving a path
// only standardises it, unless `resolved` names its resolution.
class FakeFileSystem final : public platform::FileSystemService {
 public:
  std::map<std::string, std::string, std::less<>> resolved;
  std::set<std::string, std::less<>> symbolicLinks;
  std::set<std::string, std::less<>> unreadable;  // the link lookup fails
  std::map<std::string, std::optional<std::string>, std::less<>> bundles;  // unlisted: no bundle

  std::string resolvingSymlinksInPath(std::string_view path) const override {
    const auto found = resolved.find(path);
    return found == resolved.end() ? text::standardizeFilePath(path) : found->second;
  }
  std::optional<bool> isSymbolicLink(std::string_view path) const override {
    if (unreadable.contains(path)) throw platform::PlatformError("no such file or directory: " + std::string(path));
    return symbolicLinks.contains(path);
  }
  std::optional<platform::OpenedBundle> openBundle(std::string_view path) const override {
    const auto found = bundles.find(path);
    if (found == bundles.end()) return std::nullopt;
    return platform::OpenedBundle{found->second};
  }
};

}  // namespace pellucor::testing
