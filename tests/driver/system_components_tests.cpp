#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "driver/system_components.hpp"
#include "native/monotonic_deadline.hpp"
#include "wire/enumerations.hpp"
#include "support/fake_accessibility_service.hpp"
#include "support/fake_clock.hpp"
#include "support/fake_code_signing.hpp"
#include "support/fake_file_system.hpp"
#include "support/fake_keyboard_events.hpp"
#include "support/fake_main_bundle.hpp"
#include "support/fake_process_table.hpp"
#include "support/fake_screen_capture.hpp"
#include "support/fake_workspace.hpp"
#include "wire/pellucor_error.hpp"

namespace pellucor {
namespace {

platform::PlatformServices allServices() {
  return platform::PlatformServices{std::make_shared<testing::FakeClock>(),
                                    std::make_shared<testing::FakeMainBundle>(),
                                    std::make_shared<testing::FakeFileSystem>(),
                                    std::make_shared<testing::FakeProcessTable>(),
                                    std::make_shared<testing::FakeCodeSigningService>(),
                                    std::make_shared<testing::FakeWorkspace>(),
                                    std::make_shared<testing::FakeAccessibilityService>(),
                                    std::make_shared<testing::FakeScreenCapture>(),
                                    std::make_shared<testing::FakeKeyboardEvents>()};
}

struct MissingServiceCase {
  std::string_view name;
  std::function<void(platform::PlatformServices&)> remove;
};

TEST(SystemComponentsTest, RefusesACompositionWithAServiceMissing) {
  const MissingServiceCase cases[] = {
      {"clock", [](platform::PlatformServices& s) { s.clock = nullptr; }},
      {"main bundle", [](platform::PlatformServices& s) { s.mainBundle = nullptr; }},
      {"file system", [](platform::PlatformServices& s) { s.fileSystem = nullptr; }},
      {"process table", [](platform::PlatformServices& s) { s.processTable = nullptr; }},
      {"code signing", [](platform::PlatformServices& s) { s.codeSigning = nullptr; }},
      {"workspace", [](platform::PlatformServices& s) { s.workspace = nullptr; }},
      {"accessibility", [](platform::PlatformServices& s) { s.accessibility = nullptr; }},
      {"screen capture", [](platform::PlatformServices& s) { s.screenCapture = nullptr; }},
      {"keyboard", [](platform::PlatformServices& s) { s.keyboard = nullptr; }},
  };
  for (const MissingServiceCase& c : cases) {
    platform::PlatformServices services = allServices();
    c.remove(services);
    EXPECT_THROW(SystemComponents{services}, std::invalid_argument) << c.name;
  }
}

// "code / message" of the PellucorError `call` fails with.
std::string pellucorFailure(const std::function<void()>& call) {
  try {
    call();
  } catch (const PellucorError& error) {
    return error.code + " / " + error.message;
  }
  return "no PellucorError";
}

TEST(SystemComponentsTest, BuildsEachObjectOverTheGivenServices) {
  // A helper bundle without an identifier: the validator must refuse it, and
  // the native operations must find no host to act for, which shows that both
  // read this very main bundle.
  const platform::PlatformServices services = allServices();
  SystemComponents components(services);
  EXPECT_EQ(&components.clock(), services.clock.get());

  EXPECT_EQ(pellucorFailure([&] { components.makeIdentityValidator()->validateSelfAndAncestry(); }),
            "invalid_self_bundle / helper is not running from its fixed app bundle");

  const MonotonicDeadline deadline(5.0, [&] { return services.clock->uptimeNanoseconds(); });
  Target target;
  target.pid = 501;
  target.bundleID = "com.brevant.zorvane";
  target.frontmostRequired = true;
  EXPECT_EQ(pellucorFailure([&] { components.makeNativeOperations()->observeAX(target, deadline); }),
            "wrong_frontmost / target is not the exact frontmost Zorvane process");
}

// A machine on which every object can do its whole work, each service giving
// an answer that only it gives: every object's outcome then shows that it
// used the very services handed to the composition.
struct WorkingMachine {
  WorkingMachine() {
    bundle->identifier = "com.brevant.zorvane.pellucor";
    codeSigning->addSignedCode("helper", "com.brevant.zorvane.pellucor", "TEAM123456");
    codeSigning->addSignedCode("host", "com.brevant.zorvane", "TEAM123456");
    codeSigning->setSelf("helper");
    codeSigning->setGuest(501, "host");
    workspace->answers = {platform::RunningApplication{501, "com.brevant.zorvane", "Zorvane"}};
    accessibility->trusted = false;
    accessibility->promptAnswer = true;
    auto window = testing::FakeAXElement::make();
    window->set("AXTitle", testing::axText("Zorvane"))
        .set("AXPosition", testing::axPoint(0, 25))
        .set("AXSize", testing::axSize(1280, 800));
    window->addChild()
        ->set("AXIdentifier", testing::axText("plugin-application-browser-root"))
        .set("AXDescription", testing::axText("plugin.application application_id=0123456789abcdef01234567 "
                                              "application_name=Notes application_revision=r7"));
    accessibility->focus(501, window);
    screen->windows = {testing::FakeScreenCapture::window(77, 501, "com.brevant.zorvane", "Zorvane",
                                                          platform::Rect{0, 25, 1280, 800})};
    screen->image.width = 2;
    screen->image.height = 1;
    screen->image.bytesPerRow = 8;
    screen->image.pixels = {0x20, 0x80, 0xF0, 0xFF, 0x20, 0x80, 0xF0, 0xFF};
  }

  platform::PlatformServices services() const {
    platform::PlatformServices all = allServices();
    all.mainBundle = bundle;
    all.codeSigning = codeSigning;
    all.workspace = workspace;
    all.accessibility = accessibility;
    all.screenCapture = screen;
    all.keyboard = keyboard;
    return all;
  }

  static Target target() {
    Target target;
    target.pid = 501;
    target.bundleID = "com.brevant.zorvane";
    target.frontmostRequired = true;
    target.surface = "plugin.application";
    target.applicationID = "0123456789abcdef01234567";
    target.applicationName = "Notes";
    target.applicationRevision = "r7";
    return target;
  }

  std::shared_ptr<testing::FakeMainBundle> bundle = std::make_shared<testing::FakeMainBundle>();
  std::shared_ptr<testing::FakeCodeSigningService> codeSigning = std::make_shared<testing::FakeCodeSigningService>();
  std::shared_ptr<testing::FakeWorkspace> workspace = std::make_shared<testing::FakeWorkspace>();
  std::shared_ptr<testing::FakeAccessibilityService> accessibility =
      std::make_shared<testing::FakeAccessibilityService>();
  std::shared_ptr<testing::FakeScreenCapture> screen = std::make_shared<testing::FakeScreenCapture>();
  std::shared_ptr<testing::FakeKeyboardEvents> keyboard = std::make_shared<testing::FakeKeyboardEvents>();
};

TEST(SystemComponentsTest, EveryObjectWorksWithTheGivenServices) {
  const WorkingMachine machine;
  const platform::PlatformServices services = machine.services();
  SystemComponents components(services);
  const MonotonicDeadline deadline(5.0, [&] { return services.clock->uptimeNanoseconds(); });

  // The accessibility service's trust answer, read through the given one.
  const auto native = components.makeNativeOperations();
  const NativeExecution observed = native->observeAX(WorkingMachine::target(), deadline);
  EXPECT_FALSE(observed.result.find("preflight_trusted")->asBool());
  EXPECT_EQ(observed.observation.pid, 501);

  // The one window the given screen capture lists.
  const NativeExecution listed = native->enumerateWindows(WorkingMachine::target(), deadline);
  ASSERT_TRUE(listed.result.isArray());
  EXPECT_EQ(listed.observation.windowID, 77u);

  // The key pair lands on the given keyboard.
  native->postKey(PhysicalKey::a, {}, WorkingMachine::target(), deadline);
  EXPECT_EQ(machine.keyboard->posted().size(), 2u);

  // Approval mode: the given accessibility prompt's answer, the given
  // workspace's frontmost application and the given screen's window, which is
  // captured there once.
  const std::size_t capturesBefore = machine.screen->captures().size();
  const std::size_t questionsBefore = machine.workspace->questions();
  const PermissionApprovalResult approval = components.makeApprovalControl()->run();
  EXPECT_TRUE(approval.accessibilityTrusted);
  EXPECT_EQ(approval.windowID, 77u);
  EXPECT_EQ(machine.screen->captures().size(), capturesBefore + 1);
  EXPECT_EQ(machine.workspace->questions(), questionsBefore + 1);
}

}  // namespace
}  // namespace pellucor
