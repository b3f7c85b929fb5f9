#include "platform/simulated/simulated_services.hpp"

#include <algorithm>

#include "platform/platform_error.hpp"
#include "platform/simulated/link_resolution.hpp"
#include "text/file_path.hpp"

namespace pellucor::simulated {

namespace {

// NSFileReadNoSuchFileError, the status a lookup in a missing directory
// reports.
constexpr std::int64_t kNoSuchFileStatus = 260;

bool isAtOrBelow(std::string_view path, std::string_view directory) {
  if (directory == "/") return path.starts_with('/');
  return path == directory || (path.starts_with(directory) && path.size() > directory.size() &&
                               path[directory.size()] == '/');
}

// The places `path` may stand for: as written (standardised), and with the
// links in every component but the last followed, as the kernel looks a
// path up without following its last component.
std::vector<std::string> placesOf(std::string_view path, const LinkTable& links) {
  const std::string written = text::standardizeFilePath(path);
  std::vector<std::string> places{written};
  const std::size_t slash = written.rfind('/');
  if (slash == std::string::npos || written == "/") return places;
  const std::string parent = resolveSymbolicLinks(slash == 0 ? "/" : written.substr(0, slash), links);
  std::string physical = parent == "/" ? "" : parent;
  physical.append(written.substr(slash));
  if (physical != written) places.push_back(std::move(physical));
  return places;
}

}  // namespace

std::string SimulatedFileSystem::resolvingSymlinksInPath(std::string_view path) const {
  return resolveSymbolicLinks(path, model().links);
}

std::optional<bool> SimulatedFileSystem::isSymbolicLink(std::string_view path) const {
  const std::vector<std::string> places = placesOf(path, model().links);
  for (const std::string& place : places) {
    for (const std::string& unreadable : model().unreadable) {
      if (isAtOrBelow(place, unreadable)) {
        throw platform::PlatformError("no such file or directory: " + std::string(path), kNoSuchFileStatus);
      }
    }
  }
  return std::any_of(places.begin(), places.end(),
                     [this](const std::string& place) { return model().links.contains(place); });
}

std::optional<platform::OpenedBundle> SimulatedFileSystem::openBundle(std::string_view path) const {
  const std::string written = text::standardizeFilePath(path);
  auto found = model().bundles.find(written);
  if (found == model().bundles.end()) found = model().bundles.find(resolveSymbolicLinks(written, model().links));
  if (found == model().bundles.end()) return std::nullopt;
  return platform::OpenedBundle{found->second};
}

}  // namespace pellucor::simulated
