#include "identity/identity_policy.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string_view>

namespace pellucor {
namespace {

constexpr auto kProduction = IdentityChannel::production;
constexpr auto kDevelopment = IdentityChannel::development;

constexpr std::string_view kProductionHelper = "/Applications/Zorvane.app/Contents/Helpers/Zorvane Pellucor.app";
constexpr std::string_view kDevelopmentHelper =
    "/Users/dev/zorvane/frontend/.desktop-dev/Zorvane Dev.app/Contents/Helpers/Zorvane Pellucor Dev.app";

struct ChannelCase {
  std::string_view name;
  std::string_view bundleID;
  std::optional<IdentityChannel> expected;
};

constexpr ChannelCase kChannelCases[] = {
    {"shipped helper", "com.brevant.zorvane.pellucor", kProduction},
    {"development helper", "com.brevant.zorvane.dev.pellucor", kDevelopment},
    {"any other prefix is production", "a.pellucor", kProduction},
    {"decomposed accent before the suffix", "caf\x65\xCC\x81.pellucor", kProduction},
    {"suffix alone", ".pellucor", std::nullopt},
    {"other ending", "com.brevant.zorvane.helper", std::nullopt},
    {"other case", "com.brevant.zorvane.Pellucor", std::nullopt},
    {"empty", "", std::nullopt},
    {"no dot", "pellucor", std::nullopt},
    {"trailing space", "com.brevant.zorvane.pellucor ", std::nullopt},
    {"accent on the last letter makes another letter", "com.brevant.zorvane.pellucor\xCC\x81", std::nullopt},
    {"development identifier in other case", "com.brevant.zorvane.DEV.pellucor", kProduction},
};

TEST(IdentityPolicyTest, ChannelOfBundleIdentifier) {
  for (const ChannelCase& c : kChannelCases) {
    EXPECT_EQ(IdentityPolicy::channel(c.bundleID), c.expected) << c.name;
  }
}

struct NestedPathCase {
  std::string_view name;
  std::string_view helperPath;
  IdentityChannel channel;
  bool expected;
};

constexpr NestedPathCase kNestedPathCases[] = {
    {"production helper, production channel", kProductionHelper, kProduction, true},
    {"production helper, development channel", kProductionHelper, kDevelopment, false},
    {"development helper, development channel", kDevelopmentHelper, kDevelopment, true},
    {"development helper, production channel", kDevelopmentHelper, kProduction, false},
    {"host at the root", "/Zorvane.app/Contents/Helpers/Zorvane Pellucor.app", kProduction, true},
    {"dot and dot-dot are standardised",
     "/Applications/./Zorvane.app/Contents/Helpers/../Helpers/Zorvane Pellucor.app", kProduction, true},
    {"trailing slash", "/Applications/Zorvane.app/Contents/Helpers/Zorvane Pellucor.app/", kProduction, true},
    {"dot-dot leaves the helper bundle",
     "/Applications/Zorvane.app/Contents/Helpers/Zorvane Pellucor.app/..", kProduction, false},
    {"one directory too deep", "/Applications/Zorvane.app/Contents/Helpers/Extra/Zorvane Pellucor.app",
     kProduction, false},
    {"nothing above Contents", "/Contents/Helpers/Zorvane Pellucor.app", kProduction, false},
    {"the root alone", "/", kProduction, false},
    {"Helper instead of Helpers", "/Applications/Zorvane.app/Contents/Helper/Zorvane Pellucor.app", kProduction,
     false},
    {"contents in lower case", "/Applications/Zorvane.app/contents/Helpers/Zorvane Pellucor.app", kProduction,
     false},
    {"host name as part of a longer name", "/Applications/My Zorvane.app/Contents/Helpers/Zorvane Pellucor.app",
     kProduction, false},
    {"helper bundle of the other channel",
     "/Applications/Zorvane.app/Contents/Helpers/Zorvane Pellucor Dev.app", kProduction, false},
};

TEST(IdentityPolicyTest, FixedNestedLocation) {
  for (const NestedPathCase& c : kNestedPathCases) {
    EXPECT_EQ(IdentityPolicy::validNestedPath(c.helperPath, c.channel), c.expected) << c.name;
  }
}

struct IntermediateCase {
  std::string_view name;
  std::string_view path;
  IdentityChannel channel;
  std::string_view helperBundlePath;
  bool expected;
};

constexpr IntermediateCase kIntermediateCases[] = {
    {"host main executable", "/Applications/Zorvane.app/Contents/MacOS/Zorvane", kProduction, kProductionHelper,
     true},
    {"tool in the host's resources", "/Applications/Zorvane.app/Contents/Resources/bin/tool", kProduction,
     kProductionHelper, true},
    {"dot components are standardised", "/Applications/Zorvane.app/Contents/./MacOS/Zorvane", kProduction,
     kProductionHelper, true},
    {"dot-dot climbs out of Contents", "/Applications/Zorvane.app/Contents/../../evil", kProduction,
     kProductionHelper, false},
    {"ContentsX is not Contents", "/Applications/Zorvane.app/ContentsX/tool", kProduction, kProductionHelper,
     false},
    {"Contents itself is not inside Contents", "/Applications/Zorvane.app/Contents", kProduction,
     kProductionHelper, false},
    {"combining accent after the slash makes another character", "/Applications/Zorvane.app/Contents/\xCC\x81x",
     kProduction, kProductionHelper, false},
    {"system shell in production", "/bin/zsh", kProduction, kProductionHelper, false},
    {"host marker only as part of a component", "/Applications/My Zorvane.app/Contents/MacOS/Zorvane",
     kProduction, "/Applications/My Zorvane.app/Contents/Helpers/Zorvane Pellucor.app", false},
    {"first of two host markers decides: outer Contents", "/Volumes/Zorvane.app/Contents/tool", kProduction,
     "/Volumes/Zorvane.app/Apps/Zorvane.app/Contents/Helpers/Zorvane Pellucor.app", true},
    {"first of two host markers decides: inner Contents", "/Volumes/Zorvane.app/Apps/Zorvane.app/Contents/tool",
     kProduction, "/Volumes/Zorvane.app/Apps/Zorvane.app/Contents/Helpers/Zorvane Pellucor.app", false},
    {"repository interpreter in development", "/Users/dev/zorvane/.venv/bin/python", kDevelopment,
     kDevelopmentHelper, true},
    {"repository interpreter written with a dot", "/Users/dev/zorvane/./.venv/bin/python", kDevelopment,
     kDevelopmentHelper, true},
    {"development host executable", "/Users/dev/zorvane/frontend/.desktop-dev/Zorvane Dev.app/Contents/MacOS/Zorvane Dev",
     kDevelopment, kDevelopmentHelper, true},
    {"interpreter of another repository", "/Users/dev/other/.venv/bin/python", kDevelopment, kDevelopmentHelper,
     false},
    {"python3 is not the interpreter", "/Users/dev/zorvane/.venv/bin/python3", kDevelopment, kDevelopmentHelper,
     false},
    {"shell in development", "/bin/zsh", kDevelopment, kDevelopmentHelper, false},
    {"repository interpreter in production", "/Users/dev/zorvane/.venv/bin/python", kProduction,
     kDevelopmentHelper, false},
    {"development helper outside a repository, interpreter", "/Applications/.venv/bin/python", kDevelopment,
     "/Applications/Zorvane Dev.app/Contents/Helpers/Zorvane Pellucor Dev.app", false},
    {"development helper outside a repository, host tool", "/Applications/Zorvane Dev.app/Contents/MacOS/tool",
     kDevelopment, "/Applications/Zorvane Dev.app/Contents/Helpers/Zorvane Pellucor Dev.app", true},
    {"repository names compared by canonical equivalence", "/Users/rene\xCC\x81/z/.venv/bin/python", kDevelopment,
     "/Users/ren\xC3\xA9/z/frontend/.desktop-dev/Zorvane Dev.app/Contents/Helpers/Zorvane Pellucor Dev.app", true},
};

TEST(IdentityPolicyTest, AllowedIntermediateProcess) {
  for (const IntermediateCase& c : kIntermediateCases) {
    EXPECT_EQ(IdentityPolicy::allowedIntermediate(c.path, c.channel, c.helperBundlePath), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace pellucor
