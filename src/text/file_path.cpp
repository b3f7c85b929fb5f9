#include "text/file_path.hpp"

#include <algorithm>
#include <vector>

namespace pellucor::text {

std::string standardizeFilePath(std::string_view path) {
  const bool absolute = !path.empty() && path.front() == '/';
  std::vector<std::string_view> kept;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string_view component = path.substr(start, end - start);
    start = end + 1;
    if (component.empty() || component == ".") continue;
    if (component == "..") {
      if (!kept.empty() && kept.back() != "..") {
        kept.pop_back();
      } else if (!absolute) {
        kept.push_back(component);
      }
      continue;
    }
    kept.push_back(component);
  }
  std::string result = absolute ? "/" : "";
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) result.push_back('/');
    result.append(kept[i]);
  }
  return result;
}

}  // namespace pellucor::text
