#include "identity/file_url_path.hpp"

#include <algorithm>

namespace pellucor::file_url {
namespace {

bool isAbsolute(std::string_view path) { return !path.empty() && path.front() == '/'; }

// The named components, without the root.
std::vector<std::string_view> namedComponents(std::string_view path) {
  std::vector<std::string_view> components;
  std::size_t start = 0;
  while (start < path.size()) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    if (end > start) components.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return components;
}

}  // namespace

std::vector<std::string> pathComponents(std::string_view path) {
  std::vector<std::string> components;
  if (isAbsolute(path)) components.emplace_back("/");
  for (const std::string_view component : namedComponents(path)) components.emplace_back(component);
  return components;
}

std::string lastPathComponent(std::string_view path) {
  const std::vector<std::string_view> components = namedComponents(path);
  if (components.empty()) return isAbsolute(path) ? "/" : "";
  return std::string(components.back());
}

std::string deletingLastPathComponent(std::string_view path) {
  std::vector<std::string_view> components = namedComponents(path);
  if (!components.empty()) components.pop_back();
  std::string result = isAbsolute(path) ? "/" : "";
  for (std::size_t i = 0; i < components.size(); ++i) {
    if (i > 0) result.push_back('/');
    result.append(components[i]);
  }
  return result;
}

std::string pathExtension(std::string_view path) {
  const std::string last = lastPathComponent(path);
  const std::size_t dot = last.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == last.size()) return "";
  return last.substr(dot + 1);
}

std::string appendingPathComponent(std::string_view path, std::string_view component) {
  std::string result(path);
  if (!result.empty() && result.back() != '/') result.push_back('/');
  result.append(component);
  return result;
}

}  // namespace pellucor::file_url
