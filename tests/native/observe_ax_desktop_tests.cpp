// observe_ax on whole simulated desktops, where a case reads best as a
// picture of the screen: a marker deep in a real-looking tree, every kind of
// attribute value, and sequences in which the screen changes between two
// requests served by the same operations object.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_signature.hpp"
#include "native/default_providers.hpp"
#include "native/mac_native_operations.hpp"
#include "native/system_accessibility_reader.hpp"
#include "platform/simulated/simulated_desktop.hpp"
#include "wire/json_encoder.hpp"

namespace pellucor {
namespace {

struct DesktopCase {
  const char* name;
  const char* file;
  const char* bundleID;
  const char* applicationName;
  // One outcome per observe_ax, in order: the result as compact JSON, or
  // "code / message".
  std::vector<std::string> outcomes;
};

class ObserveAXDesktopTest : public ::testing::TestWithParam<DesktopCase> {};

TEST_P(ObserveAXDesktopTest, AnswersEachRequestAsTheScreenThenShows) {
  const auto desktop =
      simulated::SimulatedDesktop::loadFile(std::string(PELLUCOR_NATIVE_DESKTOPS) + "/" + GetParam().file);
  const platform::PlatformServices services = desktop->services();
  MacNativeOperations operations(std::make_shared<SystemAccessibilityReader>(services.accessibility), nullptr,
                                 nullptr, makeFrontmostProvider(services.workspace),
                                 makeHelperBundleIDProvider(services.mainBundle),
                                 makeHostSignatureCheck(services.codeSigning));
  Target target;
  target.pid = 501;
  target.bundleID = GetParam().bundleID;
  target.frontmostRequired = true;
  target.surface = "plugin.application";
  target.applicationID = "0123456789abcdef01234567";
  target.applicationName = GetParam().applicationName;
  target.applicationRevision = "r7";

  std::vector<std::string> outcomes;
  for (std::size_t i = 0; i < GetParam().outcomes.size(); ++i) {
    const MonotonicDeadline deadline(5, [clock = services.clock] { return clock->uptimeNanoseconds(); });
    try {
      outcomes.push_back(json::encode(operations.observeAX(target, deadline).result));
    } catch (const PellucorError& error) {
      outcomes.push_back(error.code + " / " + error.message);
    }
  }
  EXPECT_EQ(outcomes, GetParam().outcomes);
}

const std::string kMarkerResult =
    R"({"preflight_trusted":true,"tree":{"children":[{"description":"plugin.application application_id=0123456789abcdef01234567 application_name=Notes application_revision=r7","identifier":"plugin-application-browser-root"}],"position":{"x":0,"y":25},"role":"AXWindow","size":{"height":800,"width":1280},"title":"Zorvane"}})";

INSTANTIATE_TEST_SUITE_P(
    Desktops, ObserveAXDesktopTest,
    ::testing::Values(
        DesktopCase{"MarkerTwelveLevelsDownBelowANearMiss", "observe_ax_marker_twelve_levels_down.json",
                    "com.brevant.zorvane", "Notes",
                    {R"({"preflight_trusted":true,"tree":{"children":[{"children":[{"children":[{"children":[{"children":[{"children":[{"children":[{"children":[{"children":[{"children":[{"children":[{"children":[{"description":"plugin.application application_id=0123456789abcdef01234567 application_name=Notes application_revision=r7","identifier":"plugin-application-browser-root"}]}]}]}]}]}]}]}],"description":"plugin.application application_id=0123456789abcdef01234567 application_name=Notes application_revision=r8","identifier":"plugin-application-browser-root"}]}]}]}],"position":{"x":0,"y":25},"role":"AXWindow","size":{"height":800,"width":1280},"title":"Zorvane"}})"}},
        DesktopCase{"NearMissOnly", "observe_ax_near_miss_only.json", "com.brevant.zorvane", "Notes",
                    {"marker_mismatch / focused window does not contain the exact Plugin application marker"}},
        DesktopCase{"EveryKindOfValue", "observe_ax_value_conversions.json", "com.brevant.zorvane", "Notes",
                    {R"({"preflight_trusted":true,"tree":{"children":[{"description":"plugin.application application_id=0123456789abcdef01234567 application_name=Notes application_revision=r7","identifier":"plugin-application-browser-root"},{"actions":["AXPress","AXShow\\u{00AD}Menu"],"description":"abc\\u{202E}cba","enabled":true,"focused":false,"identifier":42,"position":{"x":10,"y":-3},"role":"AXTextField","size":{"height":300,"width":0},"title":"Play\\u{0009}Now","value":2},{"value":-2},{}],"position":{"x":0,"y":25},"role":"AXWindow","size":{"height":800,"width":1280},"title":"Zorvane"}})"}},
        DesktopCase{"AnotherApplicationComesToTheFront", "observe_ax_frontmost_changes.json", "com.brevant.zorvane",
                    "Notes",
                    {kMarkerResult, "wrong_frontmost / target is not the exact frontmost Zorvane process"}},
        DesktopCase{"TheFocusedWindowChanges", "observe_ax_focused_window_changes.json", "com.brevant.zorvane",
                    "Notes",
                    {kMarkerResult, "wrong_window_title / focused AX window title differs from the release product",
                     "ax_focused_read_failed / real focused AX read failed with code -25211",
                     "ax_focused_read_failed / real focused AX read failed with code -25211"}},
        DesktopCase{"CanonicallyEquivalentIdentitiesAndNames", "observe_ax_canonically_equivalent_texts.json",
                    "com.brevant.zorv\xC3\xA1ne", "Caf\xC3\xA9",
                    {R"({"preflight_trusted":false,"tree":{"children":[{"description":"plugin.application application_id=0123456789abcdef01234567 application_name=Cafe)"
                     "\xCC\x81"
                     R"( application_revision=r7","identifier":"plugin-application-browser-root"}],"position":{"x":0,"y":25},"role":"AXWindow","size":{"height":800,"width":1280},"title":"Zorvane"}})"}}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace pellucor
