#include "identity/file_url_path.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace pellucor::file_url {
namespace {

struct PathCase {
  std::string_view name;
  std::string_view path;
  std::vector<std::string> components;
  std::string_view last;
  std::string_view parent;
  std::string_view extension;
};

const PathCase kPathCases[] = {
    {"bundle", "/Applications/Zorvane.app", {"/", "Applications", "Zorvane.app"}, "Zorvane.app", "/Applications",
     "app"},
    {"trailing slash", "/Applications/Zorvane.app/", {"/", "Applications", "Zorvane.app"}, "Zorvane.app",
     "/Applications", "app"},
    {"doubled slashes", "//Applications//Zorvane.app", {"/", "Applications", "Zorvane.app"}, "Zorvane.app",
     "/Applications", "app"},
    {"one component", "/Applications", {"/", "Applications"}, "Applications", "/", ""},
    {"the root stays the root", "/", {"/"}, "/", "/", ""},
    {"empty", "", {}, "", "", ""},
    {"hidden name has no extension", "/x/.app", {"/", "x", ".app"}, ".app", "/x", ""},
    {"trailing dot has no extension", "/x/name.", {"/", "x", "name."}, "name.", "/x", ""},
    {"last dot decides", "/x/a.tar.gz", {"/", "x", "a.tar.gz"}, "a.tar.gz", "/x", "gz"},
    {"space in the name", "/x/Zorvane Dev.app", {"/", "x", "Zorvane Dev.app"}, "Zorvane Dev.app", "/x", "app"},
    {"dot-dot is only text", "/a/..", {"/", "a", ".."}, "..", "/a", ""},
};

TEST(FileUrlPathTest, QuestionsAboutOnePath) {
  for (const PathCase& c : kPathCases) {
    EXPECT_EQ(pathComponents(c.path), c.components) << c.name;
    EXPECT_EQ(lastPathComponent(c.path), c.last) << c.name;
    EXPECT_EQ(deletingLastPathComponent(c.path), c.parent) << c.name;
    EXPECT_EQ(pathExtension(c.path), c.extension) << c.name;
  }
}

TEST(FileUrlPathTest, AppendingBuildsPathsFromTheRootDown) {
  EXPECT_EQ(appendingPathComponent("/", "Applications"), "/Applications");
  EXPECT_EQ(appendingPathComponent("/Applications", "Zorvane.app"), "/Applications/Zorvane.app");
  EXPECT_EQ(appendingPathComponent("/Applications/", "Zorvane.app"), "/Applications/Zorvane.app");
}

}  // namespace
}  // namespace pellucor::file_url
