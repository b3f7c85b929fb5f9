#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pellucor::simulated {

// A desktop file's JSON, members in the order the file wrote them.
using DesktopJson = nlohmann::ordered_json;

// The desktop file does not match its format. what() is one line naming the
// member path, without the file's name.
class FormatViolation : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses one JSON text strictly: a member name given twice, an integer
// literal outside the signed 64-bit range and a number too large for a double
// are refused, so that nothing in a desktop file is silently changed. Every
// integer comes out as a signed integer. Throws FormatViolation.
DesktopJson parseDesktopJson(std::string_view text);

// Member paths as messages show them: helper.code, frontmost[1].pid,
// processes["501"].path (names that are not plain identifiers are quoted).
std::string memberPath(std::string_view parent, std::string_view name);
std::string itemPath(std::string_view parent, std::size_t index);
// The path as the subject of a message; the root is "the top level".
std::string describePath(std::string_view path);

}  // namespace pellucor::simulated
