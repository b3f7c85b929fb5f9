// The window and key operations on whole simulated desktops, composed exactly
// as a run composes them, where a case reads best as a picture of the screen:
// a sequence of focused windows, or the events the keyboard and the capture
// left behind.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/system_components.hpp"
#include "platform/simulated/simulated_desktop.hpp"
#include "target_fixture.hpp"
#include "wire/json_encoder.hpp"

namespace pellucor {
namespace {

const std::string kLegacyList = R"([ { "kCGWindowOwnerPID": 501, "kCGWindowNumber": 42, "kCGWindowSharingState": 1 },
                          { "kCGWindowOwnerPID": 501, "kCGWindowNumber": 43, "kCGWindowSharingState": 0 } ])";

// The release host in front, its focused window as FOCUSED (one answer or a
// sequence of answers), two of its windows on screen: 42 at (100, 50), 4 by
// 3 points, and 43 at (300, 50), 640 by 480.
std::string desktop(const std::string& focused, const std::string& legacyList = kLegacyList,
                    const std::string& extra = "") {
  return R"({
  "helper": { "bundle_id": "com.brevant.zorvane.pellucor" },
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

}  // namespace
}  // namespace pellucor
