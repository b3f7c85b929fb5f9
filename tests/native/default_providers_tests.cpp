#include "native/default_providers.hpp"

#include <gtest/gtest.h>

#include "support/fake_main_bundle.hpp"
#include "support/fake_workspace.hpp"

namespace pellucor {
namespace {

TEST(FrontmostProviderTest, DescribesOnlyAnApplicationWithIdentifierAndName) {
  auto workspace = std::make_shared<testing::FakeWorkspace>();
  workspace->answers = {
      std::nullopt,
      platform::RunningApplication{501, std::nullopt, "Zorvane"},
      platform::RunningApplication{501, "com.brevant.zorvane", std::nullopt},
      platform::RunningApplication{501, "com.brevant.zorvane", "Zorvane"},
      platform::RunningApplication{777, "com.example.other", "Other"},
  };
  const FrontmostProvider provider = makeFrontmostProvider(workspace);
  EXPECT_EQ(provider(), std::nullopt);
  EXPECT_EQ(provider(), std::nullopt);
  EXPECT_EQ(provider(), std::nullopt);
  EXPECT_EQ(provider(), (FrontmostIdentity{501, "com.brevant.zorvane", "Zorvane"}));
  // Asked afresh every time: the screen may have changed in between.
  EXPECT_EQ(provider(), (FrontmostIdentity{777, "com.example.other", "Other"}));
  EXPECT_EQ(workspace->questions(), 5u);
}

TEST(HelperBundleIDProviderTest, IsTheMainBundlesIdentifierOrEmptyText) {
  auto bundle = std::make_shared<testing::FakeMainBundle>();
  const HelperBundleIDProvider provider = makeHelperBundleIDProvider(bundle);
  EXPECT_EQ(provider(), "");
  bundle->identifier = "com.brevant.zorvane.pellucor";
  EXPECT_EQ(provider(), "com.brevant.zorvane.pellucor");
}

TEST(FrontmostIdentityTest, ComparesTextsByCanonicalEquivalence) {
  EXPECT_EQ((FrontmostIdentity{1, "com.a.caf\xC3\xA9", "Caf\xC3\xA9"}),
            (FrontmostIdentity{1, "com.a.cafe\xCC\x81", "Cafe\xCC\x81"}));
  EXPECT_FALSE((FrontmostIdentity{1, "a", "b"}) == (FrontmostIdentity{2, "a", "b"}));
}

}  // namespace
}  // namespace pellucor
