// The window and key operations on whole simulated desktops, composed exactly
// as a run composes them, where a case reads best as a picture of the screen:
// a sequence of focused windows, the events the keyboard and the capture left
// behind, or who signed the application in front (with approval mode beside
// the operations, since it serves the same front application).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "approval/permission_approval_control.hpp"
#include "approval/system_accessibility_approval_prompt.hpp"
#include "driver/system_components.hpp"
#include "host/host_signature.hpp"
#include "native/system_screen_window_access.hpp"
#include "platform/simulated/simulated_desktop.hpp"
#include "target_fixture.hpp"
#include "wire/json_encoder.hpp"

namespace pellucor {
namespace {

const std::string kLegacyList = R"([ { "kCGWindowOwnerPID": 501, "kCGWindowNumber": 42, "kCGWindowSharingState": 1 },
                          { "kCGWindowOwnerPID": 501, "kCGWindowNumber": 43, "kCGWindowSharingState": 0 } ])";

// The helper's own code and the release host's, both signed by one team.
const std::string kSignedHelper = R"("helper": { "info": { "identifier": "com.brevant.zorvane.pellucor", "team": "TEAM123456" } })";
const std::string kSignedHost = R"({ "info": { "identifier": "com.brevant.zorvane", "team": "TEAM123456" } })";

// The release host in front, signed as the host, its focused window as
// FOCUSED (one answer or a sequence of answers), two of its windows on
// screen: 42 at (100, 50), 4 by 3 points, and 43 at (300, 50), 640 by 480.
std::string desktop(const std::string& focused, const std::string& legacyList = kLegacyList,
                    const std::string& extra = "") {
  return R"({
  "helper": { "bundle_id": "com.brevant.zorvane.pellucor", "code": "helper" },
  "processes": { "501": { "code": "host" } },
  "codes": { )" + kSignedHelper + R"(, "host": )" + kSignedHost + R"( },
  "frontmost": { "pid": 501, "bundle_id": "com.brevant.zorvane", "name": "Zorvane" },
  "focused_windows": { "501": )" +
         focused + R"( },
  "screen": { "windows": [
    { "window_id": 42, "owner": { "pid": 501, "bundle_id": "com.brevant.zorvane" }, "title": "Zorvane",
      "frame": [100, 50, 4, 3], "image": { "fill": [240, 240, 240, 255] } },
    { "window_id": 43, "owner": { "pid": 501, "bundle_id": "com.brevant.zorvane" }, "title": "Zorvane",
      "frame": [300, 50, 640, 480] }
  ] },
  "legacy_window_list": )" +
         legacyList + extra + "\n}";
}

// The host's focused window titled TITLE at (x, 50), WIDTH by HEIGHT points,
// showing the target's marker.
std::string window(int x, int width, int height, const std::string& title = "Zorvane") {
  return R"({ "attributes": { "AXTitle": ")" + title + R"(", "AXPosition": { "point": [)" + std::to_string(x) +
         R"(, 50] }, "AXSize": { "size": [)" + std::to_string(width) + ", " + std::to_string(height) +
         R"(] } },
    "children": [ { "attributes": { "AXIdentifier": "plugin-application-browser-root",
      "AXDescription": "plugin.application application_id=0123456789abcdef01234567 application_name=Notes application_revision=r7" } } ] })";
}

const std::string kFocused42 = window(100, 4, 3);
const std::string kFocused43 = window(300, 640, 480);

struct DesktopRun {
  std::string outcome;  // the result as compact JSON, or "code / message"
  std::vector<std::string> events;
};

template <typename Operation>
DesktopRun run(const std::string& desktopText, Operation operation) {
  const auto simulated = simulated::SimulatedDesktop::loadText(desktopText, ".");
  const platform::PlatformServices services = simulated->services();
  SystemComponents components(services);
  const auto native = components.makeNativeOperations();
  const MonotonicDeadline deadline(3, [clock = services.clock] { return clock->uptimeNanoseconds(); });
  DesktopRun result;
  try {
    const NativeExecution execution = operation(*native, deadline);
    result.outcome = json::encode(execution.result);
  } catch (const PellucorError& error) {
    result.outcome = error.code + " / " + error.message;
  }
  result.events = simulated->events();
  return result;
}

NativeExecution enumerate(NativeOperating& native, const MonotonicDeadline& deadline) {
  return native.enumerateWindows(testing::hostTarget(), deadline);
}

NativeExecution capture(NativeOperating& native, const MonotonicDeadline& deadline) {
  return native.captureWindow(testing::hostTarget(42), deadline);
}

NativeExecution hotkey(NativeOperating& native, const MonotonicDeadline& deadline) {
  return native.postKey(PhysicalKey::s, {KeyModifier::command, KeyModifier::shift}, testing::hostTarget(), deadline);
}

TEST(DesktopOperationsTest, EnumerationReportsTheFocusedWindowAlone) {
  EXPECT_EQ(run(desktop(kFocused42), enumerate).outcome,
            R"([{"height":3,"legacy_sharing_state":1,"on_screen":true,"title":"Zorvane","width":4,"window_id":42}])");
  EXPECT_EQ(run(desktop(kFocused43, "null"), enumerate).outcome,
            R"([{"height":480,"legacy_sharing_state":null,"on_screen":true,"title":"Zorvane","width":640,"window_id":43}])");
}

TEST(DesktopOperationsTest, CaptureTakesTheMatchedWindowAsConfigured) {
  const DesktopRun captured = run(desktop(kFocused42), capture);
  EXPECT_THAT(captured.outcome, ::testing::StartsWith(R"({"height":3,"png_base64":"iVBORw0KGgo)"));
  EXPECT_THAT(captured.outcome, ::testing::EndsWith(R"(","width":4,"window_id":42})"));
  EXPECT_THAT(captured.events,
              ::testing::ElementsAre(R"({"capture_resolution":"best","event":"capture","height":3,)"
                                     R"("pixel_format":"BGRA","shows_cursor":false,"width":4,"window_id":42})"));
}

TEST(DesktopOperationsTest, CaptureRefusesFocusMovingToAnotherWindowBetweenTheValidations) {
  const DesktopRun moved = run(desktop("[" + kFocused42 + ", " + kFocused43 + "]"), capture);
  EXPECT_EQ(moved.outcome,
            "focused_window_changed / focused Plugin application window identity changed before capture");
  EXPECT_TRUE(moved.events.empty()) << "a window was captured after focus moved";
}

TEST(DesktopOperationsTest, AHotkeyIsOnePairOfFlaggedKeyEvents) {
  const DesktopRun pressed = run(desktop(kFocused42), hotkey);
  EXPECT_EQ(pressed.outcome, R"({"posted":true})");
  EXPECT_THAT(pressed.events, ::testing::ElementsAre(R"({"event":"key_down","flags":1179648,"key_code":1})",
                                                     R"({"event":"key_up","flags":1179648,"key_code":1})"));
}

TEST(DesktopOperationsTest, FocusLostWhileTheKeyIsDownStillReleasesIt) {
  const DesktopRun pressed = run(desktop("[" + kFocused42 + ", " + window(100, 4, 3, "Untitled") + "]"), hotkey);
  EXPECT_EQ(pressed.outcome,
            "input_partial_target_changed / target changed or timed out after key-down; cleanup release was forced");
  EXPECT_THAT(pressed.events, ::testing::ElementsAre(R"({"event":"key_down","flags":1179648,"key_code":1})",
                                                     R"({"event":"key_up","flags":1179648,"key_code":1})"));
}

TEST(DesktopOperationsTest, KeyEventsThatCannotBeCreatedPostNothing) {
  const DesktopRun refused = run(desktop(kFocused42, kLegacyList, R"(, "keyboard": { "event_creation": false })"), hotkey);
  EXPECT_EQ(refused.outcome, "event_creation_failed / paired physical key events could not be created");
  EXPECT_TRUE(refused.events.empty());
}

// An application in front that claims every text of the host: its bundle
// identifier and name, its focused window's title, a copy of the marker, and
// one window on screen. It runs from /Users/mallory/Zorvane.app, and its
// running code is signed as CODE says.
std::string frontmostSignedAs(const std::string& code) {
  return R"({
  "helper": { "bundle_id": "com.brevant.zorvane.pellucor", "code": "helper" },
  "processes": { "501": { "path": "/Users/mallory/Zorvane.app/Contents/MacOS/Zorvane", "code": "frontmost" } },
  "codes": { )" + kSignedHelper + R"(, "frontmost": )" + code + R"( },
  "frontmost": { "pid": 501, "bundle_id": "com.brevant.zorvane", "name": "Zorvane" },
  "accessibility": { "prompt_answer": true },
  "focused_windows": { "501": )" + kFocused42 + R"( },
  "screen": { "windows": [
    { "window_id": 42, "owner": { "pid": 501, "bundle_id": "com.brevant.zorvane" }, "title": "Zorvane",
      "frame": [100, 50, 4, 3] } ] }
})";
}

// Approval mode over the desktop's services, composed as a run composes it but
// without the pause after the prompt.
DesktopRun approve(const std::string& desktopText) {
  const auto simulated = simulated::SimulatedDesktop::loadText(desktopText, ".");
  const platform::PlatformServices services = simulated->services();
  PermissionApprovalControl control(std::make_shared<SystemAccessibilityApprovalPrompt>(services.accessibility),
                                    std::make_shared<SystemScreenWindowAccess>(services.screenCapture),
                                    makeApprovalFrontmostProvider(services.workspace),
                                    makeHostSignatureCheck(services.codeSigning), 0);
  DesktopRun result;
  try {
    result.outcome = "window " + std::to_string(control.run().windowID);
  } catch (const PellucorError& error) {
    result.outcome = error.code + " / " + error.message;
  }
  result.events = simulated->events();
  return result;
}

NativeExecution observe(NativeOperating& native, const MonotonicDeadline& deadline) {
  return native.observeAX(testing::hostTarget(), deadline);
}

NativeExecution pressA(NativeOperating& native, const MonotonicDeadline& deadline) {
  return native.postKey(PhysicalKey::a, {}, testing::hostTarget(), deadline);
}

struct FrontmostSignatureCase {
  const char* name;
  std::string code;  // the frontmost application's code entry
  bool genuine;
};

class FrontmostSignatureTest : public ::testing::TestWithParam<FrontmostSignatureCase> {};

TEST_P(FrontmostSignatureTest, OnlyTheHostsOwnSignatureIsServed) {
  const std::string picture = frontmostSignedAs(GetParam().code);
  const std::string trustPrompt = R"({"event":"trust_prompt"})";

  const DesktopRun observed = run(picture, observe);
  const DesktopRun pressed = run(picture, pressA);
  const DesktopRun approved = approve(picture);
  if (GetParam().genuine) {
    EXPECT_THAT(observed.outcome, ::testing::StartsWith(R"({"preflight_trusted":false,"tree":)"));
    EXPECT_EQ(pressed.outcome, R"({"posted":true})");
    EXPECT_THAT(pressed.events, ::testing::ElementsAre(R"({"event":"key_down","flags":0,"key_code":0})",
                                                       R"({"event":"key_up","flags":0,"key_code":0})"));
    EXPECT_EQ(approved.outcome, "window 42");
    EXPECT_THAT(approved.events,
                ::testing::ElementsAre(trustPrompt, R"({"capture_resolution":"default","event":"capture","height":3,)"
                                                    R"("pixel_format":"default","shows_cursor":false,"width":4,)"
                                                    R"("window_id":42})"));
  } else {
    const std::string refused = "wrong_frontmost / frontmost application is not signed as the host";
    EXPECT_EQ(observed.outcome, refused);
    EXPECT_EQ(pressed.outcome, refused);
    EXPECT_TRUE(pressed.events.empty()) << "a key was posted to an impostor";
    EXPECT_EQ(approved.outcome, "approval_target_invalid / frontmost app is not the exact Zorvane channel");
    EXPECT_THAT(approved.events, ::testing::ElementsAre(trustPrompt)) << "an impostor's window was captured";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, FrontmostSignatureTest,
    ::testing::Values(
        FrontmostSignatureCase{"ImpostorUnsigned", R"({ "valid": false, "info": null })", false},
        FrontmostSignatureCase{"SignedByAnotherTeam",
                               R"({ "info": { "identifier": "com.brevant.zorvane", "team": "MALLORY999" } })", false},
        FrontmostSignatureCase{"SignedByTheTeamWithAnotherIdentifier",
                               R"({ "info": { "identifier": "com.brevant.zorvane.tool", "team": "TEAM123456" } })",
                               false},
        FrontmostSignatureCase{"GenuineHost", kSignedHost, true}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace pellucor
