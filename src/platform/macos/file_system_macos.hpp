#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.hpp"

namespace pellucor::platform::macos {

// File URLs of Foundation and Core Foundation.
class MacFileSystem final : public FileSystemService {
 public:
  // -[NSURL URLByResolvingSymlinksInPath] then -URLByStandardizingPath on
  // the file URL of `path`, and that URL's path. This is Foundation's
  // resolution: links that cannot be resolved stay, and a leading "/private"
  // is dropped when the rest names an existing file. A relative path is taken
  // relative to the working directory, as file URLs take it. `path` is
  // returned unchanged when it is not UTF-8 or Foundation gives no answer.
  std::string resolvingSymlinksInPath(std::string_view path) const override;
  // CFURLCopyResourcePropertyForKey(kCFURLIsSymbolicLinkKey) on the file URL
  // of `path`. Throws PlatformError with the CFError code when the lookup
  // fails.
  std::optional<bool> isSymbolicLink(std::string_view path) const override;
  // CFBundleCreate on the directory URL of `path`, and CFBundleGetIdentifier.
  std::optional<OpenedBundle> openBundle(std::string_view path) const override;
};

}  // namespace pellucor::platform::macos
