#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "approval/permission_approval_control.hpp"
#include "approval/system_accessibility_approval_prompt.hpp"
#include "native/system_screen_window_access.hpp"
#include "platform/platform_error.hpp"
#include "support/fake_accessibility_service.hpp"
#include "support/fake_screen_capture.hpp"
#include "support/fake_workspace.hpp"
#include "wire/pellucor_error.hpp"

namespace pellucor {
namespace {

using testing::FakeScreenCapture;

// Everything the run asks of its collaborators, in the order it asks.
using CallLog = std::vector<std::string>;

class RecordingPrompt final : public AccessibilityApprovalPrompting {
 public:
  RecordingPrompt(CallLog& log, bool answer) : log_(log), answer_(answer) {}
  bool requestTrust() override {
    log_.push_back("trust");
    return answer_;
  }

 private:
  CallLog& log_;
  bool answer_;
};

class RecordingWindows final : public ScreenWindowAccessing {
 public:
  explicit RecordingWindows(CallLog& log) : log_(log) {}

  ScreenWindowList listed;
  std::optional<std::string> listingError;  // a platform failure
  std::optional<std::string> captureError;  // a platform failure
  std::vector<platform::CaptureConfiguration> configurations;
  std::vector<const ScreenWindow*> captured;

  ScreenWindowList windows(platform::StopToken stop) override {
    log_.push_back("windows");
    EXPECT_FALSE(stop.stopPossible());
    if (listingError) throw platform::PlatformError(*listingError);
    return listed;
  }
  platform::CapturedImage capture(const ScreenWindow& window, const platform::CaptureConfiguration& configuration,
                                  platform::StopToken stop) override {
    log_.push_back("capture");
    EXPECT_FALSE(stop.stopPossible());
    configurations.push_back(configuration);
    captured.push_back(&window);
    if (captureError) throw platform::PlatformError(*captureError);
    return platform::CapturedImage{2, 2, 8, std::vector<std::uint8_t>(16, 0xFF)};
  }

 private:
  CallLog& log_;
};

std::shared_ptr<const ScreenWindow> window(std::uint32_t windowID, std::int32_t pid, std::string bundleID,
                                           std::string title, platform::Rect frame) {
  return std::make_shared<const ScreenWindow>(
      ScreenWindow{WindowCandidate{pid, std::move(bundleID), windowID, true, std::move(title), frame}, nullptr});
}

const ApprovalTarget kHost{501, "com.brevant.zorvane", "Zorvane"};

bool signedAsHost(std::int32_t pid, std::string_view hostBundleID) {
  return pid == 501 && hostBundleID == "com.brevant.zorvane";
}

// One run over recording collaborators: the host in front with one main
// window, unless a test changes it.
struct ApprovalRun {
  CallLog log;
  bool trustAnswer = false;
  std::optional<ApprovalTarget> frontmost = kHost;
  bool frontmostSignedAsHost = true;
  // "pid bundle-identifier" of each signature check, with the number of
  // calls logged before it.
  std::vector<std::string> signatureChecks;
  std::uint64_t delay = 500000000;
  std::vector<std::uint64_t> sleeps;
  std::shared_ptr<RecordingWindows> windows = std::make_shared<RecordingWindows>(log);

  ApprovalRun() {
    windows->listed = {window(11, 600, "com.example.editor", "Zorvane", {0, 0, 500, 500}),
                       window(42, 501, "com.brevant.zorvane", "Zorvane", {10, 20, 1280.7, 800.2})};
  }

  PermissionApprovalControl control() {
    return PermissionApprovalControl(
        std::make_shared<RecordingPrompt>(log, trustAnswer), windows,
        [this] {
          log.push_back("frontmost");
          return frontmost;
        },
        [this](std::int32_t pid, std::string_view bundleID) {
          signatureChecks.push_back(std::to_string(pid) + " " + std::string(bundleID) + " after " +
                                    std::to_string(log.size()));
          return frontmostSignedAsHost;
        },
        delay,
        [this](std::uint64_t nanoseconds) {
          log.push_back("sleep");
          sleeps.push_back(nanoseconds);
        });
  }
};

// "code / message" of the PellucorError a run fails with.
std::string pellucorFailure(ApprovalControlling&& control) {
  try {
    control.run();
  } catch (const PellucorError& error) {
    return error.code + " / " + error.message;
  }
  return "no PellucorError";
}

TEST(PermissionApprovalControlTest, AsksPausesChecksListsAndCapturesInThatOrder) {
  ApprovalRun run;
  run.trustAnswer = true;
  const PermissionApprovalResult result = run.control().run();
  EXPECT_TRUE(result.accessibilityTrusted);
  EXPECT_EQ(result.windowID, 42u);
  EXPECT_EQ(run.log, (CallLog{"trust", "sleep", "frontmost", "windows", "capture"}));
  EXPECT_EQ(run.sleeps, (std::vector<std::uint64_t>{500000000}));
  ASSERT_EQ(run.windows->captured.size(), 1u);
  EXPECT_EQ(run.windows->captured[0], run.windows->listed[1].get());
}

TEST(PermissionApprovalControlTest, ReportsTheTrustAnswerAtTheMomentOfAsking) {
  ApprovalRun run;
  run.trustAnswer = false;
  EXPECT_FALSE(run.control().run().accessibilityTrusted);
}

TEST(PermissionApprovalControlTest, NoPauseWithoutDelay) {
  ApprovalRun run;
  run.delay = 0;
  run.control().run();
  EXPECT_EQ(run.log, (CallLog{"trust", "frontmost", "windows", "capture"}));
}

TEST(PermissionApprovalControlTest, ReportsTheLargestWindowNumber) {
  ApprovalRun run;
  run.windows->listed = {window(4294967295u, 501, "com.brevant.zorvane", "Zorvane", {0, 0, 10, 10})};
  EXPECT_EQ(run.control().run().windowID, 4294967295u);
}

struct ConfigurationCase {
  std::string_view name;
  platform::Rect frame;
  std::int64_t width;
  std::int64_t height;
};

constexpr ConfigurationCase kConfigurationCases[] = {
    {"fractions truncate", {0, 0, 3000.9, 1600.5}, 3000, 1600},
    {"less than a point is one pixel", {0, 0, 0.6, 0.2}, 1, 1},
    {"negative sides by their length", {0, 0, -800.7, -600.1}, 800, 600},
    {"no upper bound", {0, 0, 100000, 70000}, 100000, 70000},
    {"beyond the 64-bit range saturates", {0, 0, 1e300, 1}, std::numeric_limits<std::int64_t>::max(), 1},
};

TEST(PermissionApprovalControlTest, ConfiguresTheFrameSizeAndNoCursorOnly) {
  for (const ConfigurationCase& c : kConfigurationCases) {
    const platform::CaptureConfiguration configuration = approvalCaptureConfiguration(c.frame);
    EXPECT_EQ(configuration.width, c.width) << c.name;
    EXPECT_EQ(configuration.height, c.height) << c.name;
    EXPECT_EQ(configuration.showsCursor, false) << c.name;
    EXPECT_EQ(configuration.captureResolution, std::nullopt) << c.name;
    EXPECT_EQ(configuration.pixelFormat, std::nullopt) << c.name;
  }
}

TEST(PermissionApprovalControlTest, CapturesWithTheSelectedWindowsConfiguration) {
  ApprovalRun run;
  run.control().run();
  ASSERT_EQ(run.windows->configurations.size(), 1u);
  EXPECT_EQ(run.windows->configurations[0].width, 1280);
  EXPECT_EQ(run.windows->configurations[0].height, 800);
}

TEST(PermissionApprovalControlTest, WrongFrontmostStopsBeforeTheWindows) {
  ApprovalRun run;
  run.frontmost = ApprovalTarget{501, "com.brevant.zorvane", "Zorvane Dev"};
  EXPECT_EQ(pellucorFailure(run.control()), "approval_target_invalid / frontmost app is not the exact Zorvane channel");
  EXPECT_EQ(run.log, (CallLog{"trust", "sleep", "frontmost"}));

  ApprovalRun nobody;
  nobody.frontmost = std::nullopt;
  EXPECT_EQ(pellucorFailure(nobody.control()),
            "approval_target_invalid / frontmost app is not the exact Zorvane channel");
}

TEST(PermissionApprovalControlTest, ChecksTheFrontmostHostsSignatureBeforeTheWindows) {
  ApprovalRun genuine;
  genuine.control().run();
  EXPECT_EQ(genuine.signatureChecks, std::vector<std::string>{"501 com.brevant.zorvane after 3"});

  ApprovalRun impostor;
  impostor.frontmostSignedAsHost = false;
  EXPECT_EQ(pellucorFailure(impostor.control()),
            "approval_target_invalid / frontmost app is not the exact Zorvane channel");
  EXPECT_EQ(impostor.log, (CallLog{"trust", "sleep", "frontmost"}));

  // An application that is not the host by its own claims is refused before
  // its signature is looked at.
  ApprovalRun stranger;
  stranger.frontmost = ApprovalTarget{777, "com.example.editor", "Zorvane"};
  EXPECT_EQ(pellucorFailure(stranger.control()),
            "approval_target_invalid / frontmost app is not the exact Zorvane channel");
  EXPECT_TRUE(stranger.signatureChecks.empty());
}

TEST(PermissionApprovalControlTest, NoExactWindowStopsBeforeTheCapture) {
  ApprovalRun run;
  run.windows->listed.push_back(window(43, 501, "com.brevant.zorvane", "Zorvane", {0, 0, 640, 480}));
  EXPECT_EQ(pellucorFailure(run.control()),
            "approval_window_ambiguous / exact frontmost Zorvane ScreenCaptureKit window is absent or ambiguous");
  EXPECT_EQ(run.log, (CallLog{"trust", "sleep", "frontmost", "windows"}));
}

TEST(PermissionApprovalControlTest, PlatformFailuresPassThroughUnchanged) {
  ApprovalRun listing;
  listing.windows->listingError = "screen recording declined";
  EXPECT_THROW(
      {
        try {
          listing.control().run();
        } catch (const platform::PlatformError& error) {
          EXPECT_STREQ(error.what(), "screen recording declined");
          throw;
        }
      },
      platform::PlatformError);

  ApprovalRun capturing;
  capturing.windows->captureError = "capture refused";
  EXPECT_THROW(capturing.control().run(), platform::PlatformError);
  EXPECT_EQ(capturing.log.back(), "capture");
}

TEST(PermissionApprovalControlTest, SystemPartsAskThePlatformWithThePrompt) {
  // Trusted without the prompt but not with it: the run must report the
  // prompting call's answer.
  auto accessibility = std::make_shared<testing::FakeAccessibilityService>();
  accessibility->trusted = true;
  accessibility->promptAnswer = false;
  auto screen = std::make_shared<FakeScreenCapture>();
  screen->windows = {FakeScreenCapture::window(9, 501, "com.brevant.zorvane", "Zorvane", {0, 0, 0.6, 3000.9})};
  PermissionApprovalControl control(
      std::make_shared<SystemAccessibilityApprovalPrompt>(accessibility),
      std::make_shared<SystemScreenWindowAccess>(screen), [] { return kHost; }, signedAsHost, 0);

  const PermissionApprovalResult result = control.run();
  EXPECT_FALSE(result.accessibilityTrusted);
  EXPECT_EQ(result.windowID, 9u);
  const auto captures = screen->captures();
  ASSERT_EQ(captures.size(), 1u);
  EXPECT_EQ(captures[0].window, screen->windows[0].handle);
  EXPECT_EQ(captures[0].configuration.width, 1);
  EXPECT_EQ(captures[0].configuration.height, 3000);
}

TEST(PermissionApprovalControlTest, WindowWithoutHandleIsNotCaptured) {
  auto screen = std::make_shared<FakeScreenCapture>();
  screen->windows = {FakeScreenCapture::window(9, 501, "com.brevant.zorvane", "Zorvane", {0, 0, 800, 600})};
  screen->windows[0].handle = nullptr;
  auto accessibility = std::make_shared<testing::FakeAccessibilityService>();
  PermissionApprovalControl control(
      std::make_shared<SystemAccessibilityApprovalPrompt>(accessibility),
      std::make_shared<SystemScreenWindowAccess>(screen), [] { return kHost; }, signedAsHost, 0);
  EXPECT_EQ(pellucorFailure(std::move(control)),
            "window_handle_missing / verified ScreenCaptureKit window handle is absent");
  EXPECT_TRUE(screen->captures().empty());
}

TEST(ApprovalFrontmostProviderTest, CarriesTheWorkspacesAnswerAskedAfreshEachTime) {
  // Which applications are described at all is the request-mode provider's
  // rule, tested with it; here only the hand-over into approval's record.
  auto workspace = std::make_shared<testing::FakeWorkspace>();
  workspace->answers = {platform::RunningApplication{501, "com.brevant.zorvane.dev", "Zorvane Dev"},
                        platform::RunningApplication{777, "com.example.editor", std::nullopt}};
  const ApprovalFrontmostProvider provider = makeApprovalFrontmostProvider(workspace);
  EXPECT_EQ(provider(), (ApprovalTarget{501, "com.brevant.zorvane.dev", "Zorvane Dev"}));
  EXPECT_EQ(provider(), std::nullopt);
  EXPECT_EQ(workspace->questions(), 2u);
}

TEST(ApprovalTargetTest, EqualWhenAllThreeFieldsAre) {
  const ApprovalTarget host{501, "com.brevant.zorvane", "Zorv\xC3\xA1ne"};
  EXPECT_EQ(host, (ApprovalTarget{501, "com.brevant.zorvane", "Zorva\xCC\x81ne"}));
  EXPECT_NE(host, (ApprovalTarget{502, "com.brevant.zorvane", "Zorv\xC3\xA1ne"}));
  EXPECT_NE(host, (ApprovalTarget{501, "com.brevant.zorvane.dev", "Zorv\xC3\xA1ne"}));
  EXPECT_NE(host, (ApprovalTarget{501, "com.brevant.zorvane", "Zorvane"}));
}

}  // namespace
}  // namespace pellucor
