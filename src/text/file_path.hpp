#pragma once

#include <string>
#include <string_view>

namespace pellucor::text {

// Standardises a path as the platform's file URL standardisation does: "."
// components are removed, ".." removes the component before it (an absolute
// path never climbs above the root; a relative one keeps leading ".."), and
// empty components (doubled or trailing slashes) are dropped. "/" stays "/".
std::string standardizeFilePath(std::string_view path);

}  // namespace pellucor::text
