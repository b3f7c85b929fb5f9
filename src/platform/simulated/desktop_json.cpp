#include "platform/simulated/desktop_json.hpp"

#include <cstdint>
#include <limits>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace pellucor::simulated {

namespace {

bool isPlainName(std::string_view name) {
  if (name.empty()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    const bool digit = c >= '0' && c <= '9';
    if (!letter && !(digit && i > 0)) return false;
  }
  return true;
}

// Builds the document from the parser's events, the way nlohmann's own DOM
// builder does, with the extra refusals of parseDesktopJson. Containers on
// the stack stay put: a container's parent never grows while it is open.
class StrictDocumentBuilder {
 public:
  explicit StrictDocumentBuilder(DesktopJson& root) : root_(root) {}

  const std::optional<std::string>& violation() const { return violation_; }

  bool null() { return add(DesktopJson(nullptr)) != nullptr; }
  bool boolean(bool value) { return add(DesktopJson(value)) != nullptr; }
  bool number_integer(DesktopJson::number_integer_t value) { return add(DesktopJson(value)) != nullptr; }
  bool number_unsigned(DesktopJson::number_unsigned_t value) {
    if (value > static_cast<DesktopJson::number_unsigned_t>(std::numeric_limits<std::int64_t>::max())) {
      return refuse("is an integer outside the signed 64-bit range");
    }
    return add(DesktopJson(static_cast<std::int64_t>(value))) != nullptr;
  }
  bool number_float(DesktopJson::number_float_t value, const DesktopJson::string_t& literal) {
    if (literal.find_first_of(".eE") == std::string::npos) {
      return refuse("is an integer outside the signed 64-bit range");
    }
    return add(DesktopJson(value)) != nullptr;
  }
  bool string(DesktopJson::string_t& value) { return add(DesktopJson(std::move(value))) != nullptr; }
  bool binary(DesktopJson::binary_t&) { return refuse("holds binary data"); }

  bool start_object(std::size_t) { return open(DesktopJson::object()); }
  bool key(DesktopJson::string_t& name) {
    Open& object = open_.back();
    if (!object.names.insert(name).second) {
      violation_ = describePath(memberPath(object.path, name)) + " appears twice";
      return false;
    }
    object.pendingName = std::move(name);
    return true;
  }
  bool end_object() { return close(); }
  bool start_array(std::size_t) { return open(DesktopJson::array()); }
  bool end_array() { return close(); }

  bool parse_error(std::size_t, const std::string&, const nlohmann::json::exception& error) {
    constexpr int kNumberOverflow = 406;
    if (error.id == kNumberOverflow) return refuse("is a number too large for a double");
    // nlohmann's text starts with its own "[json.exception.parse_error.101] ".
    std::string detail = error.what();
    if (const std::size_t end = detail.find("] "); !detail.empty() && detail.front() == '[' && end != std::string::npos) {
      detail.erase(0, end + 2);
    }
    violation_ = "not valid JSON: " + detail;
    return false;
  }

 private:
  struct Open {
    DesktopJson* container;
    std::string path;
    std::set<std::string> names;
    std::string pendingName;
  };

  std::string nextPath() const {
    if (open_.empty()) return {};
    const Open& top = open_.back();
    return top.container->is_array() ? itemPath(top.path, top.container->size())
                                     : memberPath(top.path, top.pendingName);
  }

  bool refuse(std::string_view predicate) {
    violation_ = describePath(nextPath()) + " " + std::string(predicate);
    return false;
  }

  DesktopJson* add(DesktopJson value) {
    if (open_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    DesktopJson& container = *open_.back().container;
    if (container.is_array()) {
      container.push_back(std::move(value));
      return &container.back();
    }
    DesktopJson& slot = container[open_.back().pendingName];
    slot = std::move(value);
    return &slot;
  }

  bool open(DesktopJson empty) {
    std::string path = nextPath();
    DesktopJson* container = add(std::move(empty));
    open_.push_back(Open{container, std::move(path), {}, {}});
    return true;
  }

  bool close() {
    open_.pop_back();
    return true;
  }

  DesktopJson& root_;
  std::vector<Open> open_;
  std::optional<std::string> violation_;
};

}  // namespace

DesktopJson parseDesktopJson(std::string_view text) {
  DesktopJson root;
  StrictDocumentBuilder builder(root);
  const bool parsed = DesktopJson::sax_parse(text.begin(), text.end(), &builder);
  if (!parsed) {
    throw FormatViolation(builder.violation().value_or("not valid JSON"));
  }
  return root;
}

std::string memberPath(std::string_view parent, std::string_view name) {
  std::string path(parent);
  if (isPlainName(name)) {
    if (!path.empty()) path.push_back('.');
    path.append(name);
  } else {
    path.append("[").append(nlohmann::json(std::string(name)).dump()).append("]");
  }
  return path;
}

std::string itemPath(std::string_view parent, std::size_t index) {
  return std::string(parent) + "[" + std::to_string(index) + "]";
}

std::string describePath(std::string_view path) { return path.empty() ? "the top level" : std::string(path); }

}  // namespace pellucor::simulated
