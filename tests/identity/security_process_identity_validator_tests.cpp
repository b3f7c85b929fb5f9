#include "identity/security_process_identity_validator.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/fake_code_signing.hpp"
#include "support/fake_file_system.hpp"
#include "support/fake_main_bundle.hpp"
#include "support/fake_process_table.hpp"

namespace pellucor {
namespace {

using testing::FakeCodeSigningService;
using Call = FakeCodeSigningService::Call;

constexpr char kTeam[] = "TEAM123456";
constexpr char kHelperBundle[] = "/Applications/Zorvane.app/Contents/Helpers/Zorvane Pellucor.app";
constexpr char kHostExecutable[] = "/Applications/Zorvane.app/Contents/MacOS/Zorvane";
constexpr std::int32_t kHostPid = 501;
constexpr std::int32_t kLauncherPid = 600;

// A production host that started the helper directly, every signature by one
// team. Tests change one fact of it.
class ProductionMachineTest : public ::testing::Test {
 protected:
  ProductionMachineTest() {
    bundle_->identifier = "com.brevant.zorvane.pellucor";
    bundle_->path = kHelperBundle;
    bundle_->executable = std::string(kHelperBundle) + "/Contents/MacOS/Zorvane Pellucor";
    bundle_->info.emplace("CFBundleDisplayName", platform::PlatformValue::makeText("Zorvane Pellucor"));
    files_->bundles.emplace("/Applications/Zorvane.app", "com.brevant.zorvane");
    processes_->answerParentWith({kHostPid});
    processes_->processes[kHostPid] = {kHostExecutable, 1};
    signing_->addSignedCode("helper", "com.brevant.zorvane.pellucor", kTeam);
    signing_->addSignedCode("host", "com.brevant.zorvane", kTeam);
    signing_->setSelf("helper");
    signing_->setGuest(kHostPid, "host");
  }

  // Puts a launcher between host and helper. A launcher directly in the host's
  // Contents/Resources would count as the host itself: its bundle, three
  // levels up, is the host bundle.
  void startThroughLauncher(const std::string& launcherPath) {
    processes_->answerParentWith({kLauncherPid});
    processes_->processes[kLauncherPid] = {launcherPath, kHostPid};
    signing_->addSignedCode("launcher", "com.brevant.zorvane.launcher", kTeam);
    signing_->setGuest(kLauncherPid, "launcher");
  }

  SecurityProcessIdentityValidator validator() const {
    platform::PlatformServices services;
    services.mainBundle = bundle_;
    services.fileSystem = files_;
    services.processTable = processes_;
    services.codeSigning = signing_;
    return SecurityProcessIdentityValidator(services);
  }

  // The refusal of one validation, or "accepted".
  std::string outcome() const {
    try {
      validator().validateSelfAndAncestry();
      return "accepted";
    } catch (const PellucorError& error) {
      return error.code + " / " + error.message;
    }
  }

  std::shared_ptr<testing::FakeMainBundle> bundle_ = std::make_shared<testing::FakeMainBundle>();
  std::shared_ptr<testing::FakeFileSystem> files_ = std::make_shared<testing::FakeFileSystem>();
  std::shared_ptr<testing::FakeProcessTable> processes_ = std::make_shared<testing::FakeProcessTable>();
  std::shared_ptr<FakeCodeSigningService> signing_ = std::make_shared<FakeCodeSigningService>();
};

// The platform refuses the architecture flag on running code and reports the
// designated requirement only when asked for it, so only these flags let a
// genuinely signed helper through.
TEST_F(ProductionMachineTest, AsksTheCodeSigningCallsWithFlagsThePlatformAccepts) {
  ASSERT_EQ(outcome(), "accepted");
  const std::vector<Call> expected = {
      {"copySelf", "", 0},
      {"checkValidity", "helper", 16},
      {"copyStaticCode", "helper", 0},
      {"checkStaticValidity", "helper", 21},
      {"copySigningInformation", "helper", 6},
      {"copyGuestWithPid", "host", 0},
      {"checkValidity", "host", 16},
      {"copyStaticCode", "host", 0},
      {"checkStaticValidity", "host", 21},
      {"copySigningInformation", "host", 6},
  };
  EXPECT_EQ(signing_->calls(), expected);
  EXPECT_FALSE(signing_->anyCodeStillHeld());
}

TEST_F(ProductionMachineTest, ValidatesAProductionIntermediateBeforeMovingOn) {
  startThroughLauncher("/Applications/Zorvane.app/Contents/Resources/bin/launcher");
  ASSERT_EQ(outcome(), "accepted");
  const std::vector<Call> launcherCalls(signing_->calls().begin() + 5, signing_->calls().begin() + 10);
  const std::vector<Call> expected = {
      {"copyGuestWithPid", "launcher", 0},
      {"checkValidity", "launcher", 16},
      {"copyStaticCode", "launcher", 0},
      {"checkStaticValidity", "launcher", 21},
      {"copySigningInformation", "launcher", 6},
  };
  EXPECT_EQ(launcherCalls, expected);
  EXPECT_FALSE(signing_->anyCodeStillHeld());
}

struct ParentRereadCase {
  const char* name;
  std::vector<std::int32_t> parentAnswers;
  const char* expected;
};

// The parent is asked for once before the walk and once after it; only the
// same answer both times keeps the accepted chain the helper's own.
TEST_F(ProductionMachineTest, ParentIsReadAgainAfterTheWalk) {
  const ParentRereadCase cases[] = {
      {"parent unchanged", {kHostPid, kHostPid}, "accepted"},
      {"parent died, helper re-parented to launchd", {kHostPid, 1},
       "invalid_ancestry / exact Zorvane ancestor not found"},
      {"parent died, helper re-parented to another process", {kHostPid, 777},
       "invalid_ancestry / exact Zorvane ancestor not found"},
  };
  for (const ParentRereadCase& c : cases) {
    processes_->answerParentWith(c.parentAnswers);
    EXPECT_EQ(outcome(), c.expected) << c.name;
    EXPECT_EQ(processes_->parentQuestions(), 2) << c.name;
  }
}

TEST_F(ProductionMachineTest, ReadsEverythingAfreshOnEveryCall) {
  SecurityProcessIdentityValidator checker = validator();
  EXPECT_NO_THROW(checker.validateSelfAndAncestry());
  signing_->addSignedCode("host", "com.brevant.zorvane", "OTHERTEAM1");
  std::string refusal = "accepted";
  try {
    checker.validateSelfAndAncestry();
  } catch (const PellucorError& error) {
    refusal = error.code + " / " + error.message;
  }
  EXPECT_EQ(refusal, "invalid_signature / helper or ancestor signature does not satisfy the channel identity");
}

struct KernelPathCase {
  const char* name;
  std::string launcherPath;
  const char* expected;
};

// The kernel reports raw bytes; they are judged as text with every broken
// sequence replaced.
TEST_F(ProductionMachineTest, JudgesKernelPathBytesAsRepairedText) {
  const KernelPathCase cases[] = {
      {"broken UTF-8 inside the host's Contents",
       "/Applications/Zorvane.app/Contents/Resources/bin/\xFF\xFE" "launcher", "accepted"},
      {"broken UTF-8 outside the host", "/tmp/\xC0\xAF/launcher",
       "invalid_ancestry / production parent is not app-owned"},
  };
  for (const KernelPathCase& c : cases) {
    startThroughLauncher(c.launcherPath);
    EXPECT_EQ(outcome(), c.expected) << c.name;
  }
}

// Nothing after a zero byte belongs to the path: the host stays the host.
TEST_F(ProductionMachineTest, KernelPathEndsAtTheFirstZeroByte) {
  using namespace std::string_literals;
  processes_->processes[kHostPid].path = "/Applications/Zorvane.app/Contents/MacOS/Zorvane\0/a/b/c"s;
  EXPECT_EQ(outcome(), "accepted");
}

}  // namespace
}  // namespace pellucor
