#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace pellucor::simulated {

// Symbolic links: the absolute, standardised path of each link to its target.
using LinkTable = std::map<std::string, std::string, std::less<>>;

// The most links one resolution follows, as the kernel's limit.
inline constexpr int kMaximumLinksFollowed = 32;

// Resolves every symbolic link in the absolute `path`, component by component
// (a target may itself run through links, and ".." after a link climbs out of
// the link's target, as the kernel walks a path), and standardises the result.
// When a 33rd link would have to be followed, resolution stops there and the
// path as reached so far is returned, standardised. A relative path is only
// standardised. Never fails.
std::string resolveSymbolicLinks(std::string_view path, const LinkTable& links);

}  // namespace pellucor::simulated
