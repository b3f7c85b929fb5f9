#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pellucor::platform {

// What opening a directory as a bundle gives.
struct OpenedBundle {
  std::optional<std::string> identifier;  // nothing: the bundle has no identifier
};

class FileSystemService {
 public:
  virtual ~FileSystemService() = default;
  // The absolute `path` with every symbolic link resolved and the result
  // standardised ("." removed, ".." resolved), as the platform's file URL
  // resolution gives it. Never fails: what cannot be resolved stays as it is.
  virtual std::string resolvingSymlinksInPath(std::string_view path) const = 0;
  // Whether `path` itself (not its target) is a symbolic link. Throws
  // PlatformError when the lookup fails (a missing directory, for one);
  // nothing when the platform leaves the flag unanswered.
  virtual std::optional<bool> isSymbolicLink(std::string_view path) const = 0;
  // Opens the directory at `path` as a bundle; nothing when it does not open.
  virtual std::optional<OpenedBundle> openBundle(std::string_view path) const = 0;
};

}  // namespace pellucor::platform
