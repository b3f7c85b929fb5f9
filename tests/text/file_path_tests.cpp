#include "text/file_path.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace pellucor::text {
namespace {

struct PathCase {
  const char* name;
  std::string_view path;
  std::string_view standardized;
};

constexpr PathCase kPathCases[] = {
    {"root", "/", "/"},
    {"empty", "", ""},
    {"plain absolute", "/Applications/Zorvane.app", "/Applications/Zorvane.app"},
    {"spaces kept", "/A/Zorvane Pellucor.app", "/A/Zorvane Pellucor.app"},
    {"dot removed", "/a/./b", "/a/b"},
    {"leading dot removed", "./a", "a"},
    {"lone dot", ".", ""},
    {"dot-dot removes the component before it", "/a/b/../c", "/a/c"},
    {"trailing dot-dot", "/a/b/..", "/a"},
    {"dot-dot back to the root", "/a/..", "/"},
    {"absolute path never climbs above the root", "/../a", "/a"},
    {"many dot-dots at the root", "/../../..", "/"},
    {"relative path keeps leading dot-dot", "../a", "../a"},
    {"relative climb past its start", "a/../../b", "../b"},
    {"relative dot-dots accumulate", "a/b/../../..", ".."},
    {"relative back to nothing", "a/..", ""},
    {"doubled slashes dropped", "//a//b", "/a/b"},
    {"trailing slash dropped", "/a/b/", "/a/b"},
    {"three dots are a name", "/a/.../b", "/a/.../b"},
    {"dot-dot prefix is a name", "/a/..b/c", "/a/..b/c"},
    {"dot suffix is a name", "/a/b./c", "/a/b./c"},
    {"helper bundle with climbs",
     "/Applications/Zorvane.app/Contents/Helpers/../Helpers/./Zorvane Pellucor.app/",
     "/Applications/Zorvane.app/Contents/Helpers/Zorvane Pellucor.app"},
};

TEST(FilePath, StandardizesDotComponentsAndEmptyComponents) {
  for (const auto& c : kPathCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(standardizeFilePath(c.path), c.standardized);
  }
}

TEST(FilePath, StandardizingTwiceChangesNothing) {
  for (const auto& c : kPathCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(standardizeFilePath(c.standardized), c.standardized);
  }
}

}  // namespace
}  // namespace pellucor::text
