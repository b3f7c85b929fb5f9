#include "platform/simulated/link_resolution.hpp"

#include <deque>
#include <vector>

#include "text/file_path.hpp"

namespace pellucor::simulated {

namespace {

void appendComponents(std::string_view path, std::deque<std::string>& components, bool atFront) {
  std::vector<std::string> found;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) found.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  if (atFront) {
    components.insert(components.begin(), found.begin(), found.end());
  } else {
    components.insert(components.end(), found.begin(), found.end());
  }
}

std::string joinAbsolute(const std::vector<std::string>& resolved) {
  if (resolved.empty()) return "/";
  std::string result;
  for (const std::string& component : resolved) {
    result.push_back('/');
    result.append(component);
  }
  return result;
}

}  // namespace

std::string resolveSymbolicLinks(std::string_view path, const LinkTable& links) {
  if (path.empty() || path.front() != '/') return text::standardizeFilePath(path);
  std::deque<std::string> pending;
  appendComponents(path, pending, false);
  std::vector<std::string> resolved;
  int followed = 0;
  while (!pending.empty()) {
    std::string component = std::move(pending.front());
    pending.pop_front();
    if (component == ".") continue;
    if (component == "..") {
      if (!resolved.empty()) resolved.pop_back();
      continue;
    }
    resolved.push_back(std::move(component));
    const auto link = links.find(joinAbsolute(resolved));
    if (link == links.end()) continue;
    if (followed == kMaximumLinksFollowed) {
      std::string reached = joinAbsolute(resolved);
      for (const std::string& rest : pending) {
        reached.push_back('/');
        reached.append(rest);
      }
      return text::standardizeFilePath(reached);
    }
    ++followed;
    resolved.clear();
    appendComponents(link->second, pending, true);
  }
  return joinAbsolute(resolved);
}

}  // namespace pellucor::simulated
