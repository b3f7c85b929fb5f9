#include "host/host_identity.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace pellucor {
namespace {

struct HostDerivationCase {
  const char* name;
  std::string helper;
  std::optional<std::string> host;
};

// One derivation serves the identity check and target validation, so both
// judge the same helper identifiers alike.
TEST(HostIdentity, DerivesTheHostFromTheHelperIdentifier) {
  const HostDerivationCase cases[] = {
      {"production helper", "com.brevant.zorvane.pellucor", "com.brevant.zorvane"},
      {"development helper", "com.brevant.zorvane.dev.pellucor", "com.brevant.zorvane.dev"},
      {"any identifier with the ending", "org.example.app.pellucor", "org.example.app"},
      {"precomposed text comes back decomposed", "com.caf\u00e9.pellucor", "com.cafe\u0301"},
      {"nothing but the ending", ".pellucor", std::nullopt},
      {"no ending", "com.brevant.zorvane", std::nullopt},
      {"ending in another case", "com.brevant.zorvane.Pellucor", std::nullopt},
      {"a mark on the ending's last letter", "com.brevant.zorvane.pellucor\u0301", std::nullopt},
      // U+0600 joins the next character: the ending does not start at a
      // character boundary, so byte-wise it would match, canonically not.
      {"ending joined to a prepended mark", "com.brevant\u0600.pellucor", std::nullopt},
  };
  for (const HostDerivationCase& c : cases) {
    EXPECT_EQ(host_identity::hostBundleID(c.helper), c.host) << c.name;
  }
}

TEST(HostIdentity, ProductNameFollowsTheBuild) {
  EXPECT_EQ(host_identity::productName("com.brevant.zorvane.dev"), "Zorvane Dev");
  EXPECT_EQ(host_identity::productName("com.brevant.zorvane"), "Zorvane");
  EXPECT_EQ(host_identity::productName("org.example.app"), "Zorvane");
}

}  // namespace
}  // namespace pellucor
