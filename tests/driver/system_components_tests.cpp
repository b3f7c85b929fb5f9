#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "driver/system_components.hpp"
#include "native/monotonic_deadline.hpp"
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

}  // namespace
}  // namespace pellucor
