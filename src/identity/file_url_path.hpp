#pragma once

#include <string>
#include <string_view>
#include <vector>

// The few questions the identity rules ask of a path, answered as the
// platform's file URLs answer them. They are pure text operations: nothing
// touches the file system, and "." or ".." are not interpreted (callers that
// need that standardise first with text::standardizeFilePath). Empty
// components (doubled or trailing slashes) never count as components. Paths
// are expected to be absolute, as every path the helper meets is.
namespace pellucor::file_url {

// The components of `path`; for an absolute path the first one is the root
// "/". "/a/b/" gives {"/", "a", "b"}; "/" gives {"/"}; "" gives {}.
std::vector<std::string> pathComponents(std::string_view path);

// The last component: "/a/b" gives "b", "/" gives "/", "" gives "".
std::string lastPathComponent(std::string_view path);

// The path without its last component: "/a/b" gives "/a", "/a" gives "/".
// The root has no parent and stays the root, as it does in the file system.
std::string deletingLastPathComponent(std::string_view path);

// The text after the last "." of the last component, or "" when there is no
// such dot, when the dot is the component's first character (".app" is a
// hidden name, not an extension) or when nothing follows it.
std::string pathExtension(std::string_view path);

// `path` with `component` appended below it: "/" and "a" give "/a", "/a" and
// "b" give "/a/b".
std::string appendingPathComponent(std::string_view path, std::string_view component);

}  // namespace pellucor::file_url
