#include <gtest/gtest.h>

#include <string>

#include "platform/platform_error.hpp"
#include "platform/simulated/link_resolution.hpp"
#include "simulated_desktop_fixture.hpp"

namespace pellucor::simulated {
namespace {

using testing::desktopFrom;

// A chain /l0 -> /l1 -> ... -> /l<length-1> -> /end, one link per step.
LinkTable chainOfLinks(int length) {
  LinkTable links;
  for (int i = 0; i < length; ++i) {
    links["/l" + std::to_string(i)] = i + 1 < length ? "/l" + std::to_string(i + 1) : "/end";
  }
  return links;
}

struct ResolutionCase {
  const char* name;
  LinkTable links;
  const char* path;
  const char* resolved;
};

class LinkResolution : public ::testing::TestWithParam<ResolutionCase> {};

TEST_P(LinkResolution, ResolvesAsTheKernelWalksAPath) {
  const ResolutionCase& c = GetParam();
  EXPECT_EQ(resolveSymbolicLinks(c.path, c.links), c.resolved);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkResolution,
    ::testing::Values(
        ResolutionCase{"NoLinks", {}, "/Applications/Zorvane.app", "/Applications/Zorvane.app"},
        ResolutionCase{"LinkInTheMiddle",
                       {{"/Applications", "/System/Volumes/Data/Applications"}},
                       "/Applications/Zorvane.app/Contents",
                       "/System/Volumes/Data/Applications/Zorvane.app/Contents"},
        ResolutionCase{"LastComponentIsALink", {{"/a/b", "/c"}}, "/a/b", "/c"},
        ResolutionCase{"TargetRunsThroughAnotherLink",
                       {{"/a", "/b/x"}, {"/b", "/c"}},
                       "/a/y",
                       "/c/x/y"},
        ResolutionCase{"LinkInsideALinkedDirectory", {{"/a", "/b"}, {"/b/c", "/d"}}, "/a/c/e", "/d/e"},
        ResolutionCase{"DotsAreStandardised", {}, "/a/./b/../c//d/", "/a/c/d"},
        ResolutionCase{"DotDotAfterALinkLeavesTheTarget", {{"/a/l", "/x/y"}}, "/a/l/../b", "/x/b"},
        ResolutionCase{"TargetWithDotDot", {{"/a", "/p/../q"}}, "/a/r", "/q/r"},
        ResolutionCase{"DotDotNeverClimbsAboveTheRoot", {}, "/../../a", "/a"},
        ResolutionCase{"LinkToTheRoot", {{"/r", "/"}}, "/r/a", "/a"},
        ResolutionCase{"RelativePathIsOnlyStandardised", {{"/a", "/b"}}, "a/./b/../c", "a/c"},
        ResolutionCase{"ThirtyTwoLinksAreFollowed", chainOfLinks(32), "/l0/x", "/end/x"},
        ResolutionCase{"TheThirtyThirdLinkStopsResolution", chainOfLinks(33), "/l0/x/../y", "/l32/y"},
        ResolutionCase{"ACycleStopsAtTheLimit", {{"/a", "/b"}, {"/b", "/a"}}, "/a/z", "/a/z"}),
    [](const ::testing::TestParamInfo<ResolutionCase>& row) { return std::string(row.param.name); });

TEST(SimulatedFileSystem, AnswersLinkQuestionsForListedPathsOnly) {
  const auto fileSystem = desktopFrom(R"({"links": {"/Applications": "/System/Volumes/Data/Applications"}})")
                              ->services()
                              .fileSystem;
  EXPECT_EQ(fileSystem->isSymbolicLink("/Applications"), true);
  EXPECT_EQ(fileSystem->isSymbolicLink("/Applications/"), true);
  EXPECT_EQ(fileSystem->isSymbolicLink("/Applications/Zorvane.app"), false);
  EXPECT_EQ(fileSystem->isSymbolicLink("/"), false);
  EXPECT_EQ(fileSystem->resolvingSymlinksInPath("/Applications/Zorvane.app"),
            "/System/Volumes/Data/Applications/Zorvane.app");
}

TEST(SimulatedFileSystem, SeesALinkReachedThroughAnotherLink) {
  const auto fileSystem = desktopFrom(R"({"links": {"/a": "/b", "/b/l": "/c"}})")->services().fileSystem;
  EXPECT_EQ(fileSystem->isSymbolicLink("/a/l"), true);
  // The last component itself is not followed: /a is the link, not /b.
  EXPECT_EQ(fileSystem->isSymbolicLink("/a"), true);
}

TEST(SimulatedFileSystem, UnreadablePathsAndEverythingBelowFailWithAPlatformError) {
  const auto fileSystem =
      desktopFrom(R"({"unreadable": ["/Volumes/Gone"], "links": {"/v": "/Volumes"}})")->services().fileSystem;
  for (const char* path : {"/Volumes/Gone", "/Volumes/Gone/Zorvane.app", "/v/Gone/x"}) {
    try {
      (void)fileSystem->isSymbolicLink(path);
      ADD_FAILURE() << path << " was answered";
    } catch (const platform::PlatformError& error) {
      EXPECT_EQ(std::string(error.what()), std::string("no such file or directory: ") + path);
      EXPECT_EQ(error.status(), 260);
    }
  }
  EXPECT_EQ(fileSystem->isSymbolicLink("/Volumes/Gonever"), false);
  EXPECT_EQ(fileSystem->isSymbolicLink("/Volumes"), false);
}

TEST(SimulatedFileSystem, OpensListedBundlesAsWrittenOrThroughLinks) {
  const auto fileSystem = desktopFrom(R"({
    "bundles": {"/Applications/Zorvane.app": "com.brevant.zorvane", "/Applications/Plain.app": null},
    "links": {"/Apps": "/Applications"}})")
                              ->services()
                              .fileSystem;
  const auto opened = fileSystem->openBundle("/Applications/Zorvane.app/");
  ASSERT_TRUE(opened.has_value());
  EXPECT_EQ(opened->identifier, "com.brevant.zorvane");
  const auto throughLink = fileSystem->openBundle("/Apps/Zorvane.app");
  ASSERT_TRUE(throughLink.has_value());
  EXPECT_EQ(throughLink->identifier, "com.brevant.zorvane");
  const auto withoutIdentifier = fileSystem->openBundle("/Applications/Plain.app");
  ASSERT_TRUE(withoutIdentifier.has_value());
  EXPECT_EQ(withoutIdentifier->identifier, std::nullopt);
  EXPECT_EQ(fileSystem->openBundle("/Applications/Other.app"), std::nullopt);
}

}  // namespace
}  // namespace pellucor::simulated
