#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "simulated_desktop_fixture.hpp"

namespace pellucor::simulated {
namespace {

using testing::refusalOf;

struct MalformedCase {
  const char* name;
  const char* json;
  const char* message;
};

class MalformedDesktopFiles : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedDesktopFiles, AreRefusedNamingTheMember) {
  EXPECT_EQ(refusalOf(GetParam().json, "/nonexistent-base"), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, MalformedDesktopFiles,
    ::testing::Values(
        MalformedCase{"NotJSON", "{", "desktop file: not valid JSON: parse error at line 1, column 2: syntax error while parsing object key - unexpected end of input; expected string literal"},
        MalformedCase{"TrailingText", "{} x", "desktop file: not valid JSON: parse error at line 1, column 4: syntax error while parsing value - invalid literal; last read: '{} x'; expected end of input"},
        MalformedCase{"NotAnObject", "[]", "desktop file: the top level must be an object"},
        MalformedCase{"DuplicateMember", R"({"helper": {"parent_pid": 1, "parent_pid": 2}})",
                      "desktop file: helper.parent_pid appears twice"},
        MalformedCase{"DuplicateMapKey", R"({"processes": {"5": {}, "5": {}}})",
                      R"(desktop file: processes["5"] appears twice)"},
        MalformedCase{"IntegerBeyond64Bits", R"({"helper": {"parent_pid": 99999999999999999999}})",
                      "desktop file: helper.parent_pid is an integer outside the signed 64-bit range"},
        MalformedCase{"NumberBeyondDouble", R"({"focused_windows": {"1": {"attributes": {"AXValue": 1e999}}}})",
                      R"(desktop file: focused_windows["1"].attributes.AXValue is a number too large for a double)"}),
    [](const ::testing::TestParamInfo<MalformedCase>& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    UnknownMembers, MalformedDesktopFiles,
    ::testing::Values(
        MalformedCase{"TopLevel", R"({"frontmost": null, "frontmots": null})",
                      "desktop file: frontmots is not a known member"},
        MalformedCase{"Helper", R"({"helper": {"bundle_identifier": "x"}})",
                      "desktop file: helper.bundle_identifier is not a known member"},
        MalformedCase{"InsideAnArray", R"({"frontmost": [{"pid": 1}, {"pid": 2, "title": "x"}]})",
                      "desktop file: frontmost[1].title is not a known member"},
        MalformedCase{"Element", R"({"focused_windows": {"1": {"attributes": {}, "child": []}}})",
                      R"(desktop file: focused_windows["1"].child is not a known member)"},
        MalformedCase{"ValueKind", R"({"focused_windows": {"1": {"attributes": {"AXPosition": {"pont": [1, 2]}}}}})",
                      R"(desktop file: focused_windows["1"].attributes.AXPosition.pont is not a known member)"},
        MalformedCase{"Window", R"({"screen": {"windows": [{"window_id": 1, "frame": [0, 0, 1, 1], "id": 1}]}})",
                      "desktop file: screen.windows[0].id is not a known member"},
        MalformedCase{"Image", R"({"screen": {"windows": [{"window_id": 1, "frame": [0, 0, 1, 1], "image": {"colour": []}}]}})",
                      "desktop file: screen.windows[0].image.colour is not a known member"},
        MalformedCase{"CallName", R"({"delays_ms": {"capture_image": 5}})",
                      R"(desktop file: delays_ms.capture_image is not a known call name)"},
        MalformedCase{"SigningInformation", R"({"codes": {"c": {"info": {"team_id": "T"}}}})",
                      "desktop file: codes.c.info.team_id is not a known member"}),
    [](const ::testing::TestParamInfo<MalformedCase>& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    WrongTypes, MalformedDesktopFiles,
    ::testing::Values(
        MalformedCase{"FrontmostPid", R"({"frontmost": {"pid": "501"}})",
                      "desktop file: frontmost.pid must be an integer"},
        MalformedCase{"FrontmostPidMissing", R"({"frontmost": {"bundle_id": "x"}})",
                      "desktop file: frontmost.pid is required"},
        MalformedCase{"PidOutOfRange", R"({"helper": {"parent_pid": 2147483648}})",
                      "desktop file: helper.parent_pid must be an integer from -2147483648 to 2147483647"},
        MalformedCase{"BundlePathNull", R"({"helper": {"bundle_path": null}})",
                      "desktop file: helper.bundle_path must be a string"},
        MalformedCase{"BundleIdNumber", R"({"helper": {"bundle_id": 5}})",
                      "desktop file: helper.bundle_id must be a string or null"},
        MalformedCase{"TrustedText", R"({"accessibility": {"trusted": "yes"}})",
                      "desktop file: accessibility.trusted must be true or false"},
        MalformedCase{"EmptySequence", R"({"frontmost": []})", "desktop file: frontmost must not be an empty array"},
        MalformedCase{"EmptyFocusedSequence", R"({"focused_windows": {"1": []}})",
                      R"(desktop file: focused_windows["1"] must not be an empty array)"},
        MalformedCase{"FocusedAnswerNotObject", R"({"focused_windows": {"1": [{}, 5]}})",
                      R"(desktop file: focused_windows["1"][1] must be an element, {"error": N} or {"value": V})"},
        MalformedCase{"ErrorWithMore", R"({"focused_windows": {"1": {"error": -25204, "attributes": {}}}})",
                      R"(desktop file: focused_windows["1"].attributes is not a known member)"},
        MalformedCase{"ZeroStatus", R"({"focused_windows": {"1": {"error": 0}}})",
                      R"(desktop file: focused_windows["1"].error must be a non-zero integer status)"},
        MalformedCase{"BareArrayValue", R"({"focused_windows": {"1": {"attributes": {"AXChildren": []}}}})",
                      R"(desktop file: focused_windows["1"].attributes.AXChildren must be a value (a list is written {"list": [...]}))"},
        MalformedCase{"NullInsideList", R"({"focused_windows": {"1": {"attributes": {"AXValue": {"list": [null]}}}}})",
                      R"(desktop file: focused_windows["1"].attributes.AXValue.list[0] must be a value, not null)"},
        MalformedCase{"TwoKinds", R"({"focused_windows": {"1": {"attributes": {"AXValue": {"point": [1, 2], "size": [1, 2]}}}}})",
                      R"(desktop file: focused_windows["1"].attributes.AXValue must have exactly one member naming the kind of value)"},
        MalformedCase{"PointArity", R"({"focused_windows": {"1": {"attributes": {"AXPosition": {"point": [1]}}}}})",
                      R"(desktop file: focused_windows["1"].attributes.AXPosition.point must be an array of 2 numbers)"},
        MalformedCase{"BadComponent", R"({"focused_windows": {"1": {"attributes": {"AXSize": {"size": [1, "NaN"]}}}}})",
                      R"(desktop file: focused_windows["1"].attributes.AXSize.size[1] must be a number or "nan", "inf" or "-inf")"},
        MalformedCase{"RangeFraction", R"({"focused_windows": {"1": {"attributes": {"AXRange": {"range": [1.5, 2]}}}}})",
                      R"(desktop file: focused_windows["1"].attributes.AXRange.range[0] must be an integer)"},
        MalformedCase{"ValueErrorFalse", R"({"focused_windows": {"1": {"attributes": {"AXSize": {"value_error": false}}}}})",
                      R"(desktop file: focused_windows["1"].attributes.AXSize.value_error must be true)"},
        MalformedCase{"ChildrenTwice", R"({"focused_windows": {"1": {"attributes": {"AXChildren": {"list": []}}, "children": []}}})",
                      R"(desktop file: focused_windows["1"].children cannot be given together with attributes.AXChildren)"},
        MalformedCase{"NestedChildrenTwice", R"({"focused_windows": {"1": {"children": [{}, {"attributes": {"AXChildren": {"list": []}}, "children": []}]}}})",
                      R"(desktop file: focused_windows["1"].children[1].children cannot be given together with attributes.AXChildren)"},
        MalformedCase{"ActionsText", R"({"focused_windows": {"1": {"actions": "AXPress"}}})",
                      R"(desktop file: focused_windows["1"].actions must be an array or {"error": N})"},
        MalformedCase{"DelayNegative", R"({"delays_ms": {"capture": -1}})",
                      "desktop file: delays_ms.capture must be an integer from 0 to 86400000"},
        MalformedCase{"LegacyEntryNotObject", R"({"legacy_window_list": [1]})",
                      "desktop file: legacy_window_list[0] must be an object"},
        MalformedCase{"LegacyNullValue", R"({"legacy_window_list": [{"kCGWindowName": null}]})",
                      "desktop file: legacy_window_list[0].kCGWindowName must be a value, not null"},
        MalformedCase{"ScreenErrorNumber", R"({"screen": {"error": 5}})",
                      "desktop file: screen.error must be a string or null"}),
    [](const ::testing::TestParamInfo<MalformedCase>& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    References, MalformedDesktopFiles,
    ::testing::Values(
        MalformedCase{"HelperCode", R"({"helper": {"code": "helper"}})",
                      "desktop file: helper.code names no entry in codes"},
        MalformedCase{"ProcessCode", R"({"codes": {"host": {}}, "processes": {"501": {"code": "hots"}}})",
                      R"(desktop file: processes["501"].code names no entry in codes)"},
        MalformedCase{"PidKeyWithLeadingZero", R"({"processes": {"0501": {}}})",
                      R"(desktop file: processes["0501"] is not named by a decimal process identifier)"},
        MalformedCase{"PidKeyText", R"({"focused_windows": {"Zorvane": {}}})",
                      R"(desktop file: focused_windows.Zorvane is not named by a decimal process identifier)"},
        MalformedCase{"PidKeyTooLarge", R"({"processes": {"2147483648": {}}})",
                      R"(desktop file: processes["2147483648"] is not named by a decimal process identifier)"},
        MalformedCase{"LinkKeyNotStandard", R"({"links": {"/Applications/": "/x"}})",
                      R"(desktop file: links["/Applications/"] is not named by an absolute path in standard form)"},
        MalformedCase{"LinkKeyRelative", R"({"links": {"Applications": "/x"}})",
                      R"(desktop file: links.Applications is not named by an absolute path in standard form)"},
        MalformedCase{"LinkTargetRelative", R"({"links": {"/a": "b"}})",
                      R"(desktop file: links["/a"] must be an absolute path)"},
        MalformedCase{"RootLink", R"({"links": {"/": "/x"}})",
                      R"(desktop file: links["/"] cannot be a link: the root is a directory)"},
        MalformedCase{"UnreadableNotStandard", R"({"unreadable": ["/Volumes/./Gone"]})",
                      "desktop file: unreadable[0] must be an absolute path in standard form"},
        MalformedCase{"BundleKeyWithDotDot", R"({"bundles": {"/a/../b.app": "x"}})",
                      R"(desktop file: bundles["/a/../b.app"] is not named by an absolute path in standard form)"}),
    [](const ::testing::TestParamInfo<MalformedCase>& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Screen, MalformedDesktopFiles,
    ::testing::Values(
        MalformedCase{"WindowIdMissing", R"({"screen": {"windows": [{"frame": [0, 0, 1, 1]}]}})",
                      "desktop file: screen.windows[0].window_id is required"},
        MalformedCase{"WindowIdNegative", R"({"screen": {"windows": [{"window_id": -1, "frame": [0, 0, 1, 1]}]}})",
                      "desktop file: screen.windows[0].window_id must be an integer from 0 to 4294967295"},
        MalformedCase{"FrameMissing", R"({"screen": {"windows": [{"window_id": 1}]}})",
                      "desktop file: screen.windows[0].frame is required"},
        MalformedCase{"FrameShort", R"({"screen": {"windows": [{"window_id": 1, "frame": [0, 0, 1]}]}})",
                      "desktop file: screen.windows[0].frame must be an array of 4 numbers [x, y, width, height]"},
        MalformedCase{"OwnerPidMissing", R"({"screen": {"windows": [{"window_id": 1, "frame": [0, 0, 1, 1], "owner": {}}]}})",
                      "desktop file: screen.windows[0].owner.pid is required"},
        MalformedCase{"ColourComponent", R"({"screen": {"windows": [{"window_id": 1, "frame": [0, 0, 1, 1], "image": {"fill": [0, 0, 256, 0]}}]}})",
                      "desktop file: screen.windows[0].image.fill[2] must be an integer from 0 to 255"},
        MalformedCase{"ColourArity", R"({"screen": {"windows": [{"window_id": 1, "frame": [0, 0, 1, 1], "image": {"fill": [0, 0, 0]}}]}})",
                      "desktop file: screen.windows[0].image.fill must be an array of 4 integers [r, g, b, a]"},
        MalformedCase{"RectColourMissing", R"({"screen": {"windows": [{"window_id": 1, "frame": [0, 0, 1, 1], "image": {"rects": [{"x": 0, "y": 0, "w": 1, "h": 1}]}}]}})",
                      "desktop file: screen.windows[0].image.rects[0].color is required"},
        MalformedCase{"SizeTooLarge", R"({"screen": {"windows": [{"window_id": 1, "frame": [0, 0, 1, 1], "image": {"size": [16384, 16384]}}]}})",
                      "desktop file: screen.windows[0].image.size must not exceed 67108864 pixels"},
        MalformedCase{"PngMissing", R"({"screen": {"windows": [{"window_id": 1, "frame": [0, 0, 1, 1], "image": {"png": "missing.png"}}]}})",
                      R"(desktop file: screen.windows[0].image.png cannot be read: "/nonexistent-base/missing.png" (No such file or directory))"}),
    [](const ::testing::TestParamInfo<MalformedCase>& row) { return std::string(row.param.name); });

TEST(DesktopFiles, MessagesStartWithTheFilesPath) {
  const std::string path = ::testing::TempDir() + "/desktop-malformed.json";
  {
    std::ofstream out(path);
    out << R"({"frontmost": {"pid": "501"}})";
  }
  try {
    SimulatedDesktop::loadFile(path);
    FAIL() << "accepted";
  } catch (const DesktopFileError& error) {
    EXPECT_EQ(std::string(error.what()), path + ": frontmost.pid must be an integer");
  }
  try {
    SimulatedDesktop::loadFile(path + ".missing");
    FAIL() << "accepted";
  } catch (const DesktopFileError& error) {
    EXPECT_EQ(std::string(error.what()), path + ".missing: cannot be read (No such file or directory)");
  }
}

TEST(DesktopFiles, PngPathsAreRelativeToTheDesktopFile) {
  std::string directory = ::testing::TempDir();
  if (directory.ends_with('/')) directory.pop_back();
  const std::string path = directory + "/desktop-with-png.json";
  {
    std::ofstream out(path);
    out << R"({"screen": {"windows": [{"window_id": 1, "frame": [0, 0, 1, 1], "image": {"png": "not-there.png"}}]}})";
  }
  try {
    SimulatedDesktop::loadFile(path);
    FAIL() << "accepted";
  } catch (const DesktopFileError& error) {
    EXPECT_EQ(std::string(error.what()),
              path + R"(: screen.windows[0].image.png cannot be read: ")" + directory +
                  R"(/not-there.png" (No such file or directory))");
  }
}

TEST(DesktopFiles, TheExampleOfTheFormatIsAccepted) {
  EXPECT_EQ(refusalOf(R"({
    "helper": {
      "bundle_path": "/Applications/Zorvane.app/Contents/Helpers/Zorvane Pellucor.app",
      "executable_path": "/Applications/Zorvane.app/Contents/Helpers/Zorvane Pellucor.app/Contents/MacOS/Zorvane Pellucor",
      "bundle_id": "com.brevant.zorvane.pellucor",
      "info": { "CFBundleDisplayName": "Zorvane Pellucor" },
      "parent_pid": 501,
      "code": "helper"
    },
    "bundles": { "/Applications/Zorvane.app": "com.brevant.zorvane" },
    "links": { "/Applications": "/System/Volumes/Data/Applications" },
    "unreadable": [ "/Volumes/Gone" ],
    "processes": {
      "501": { "path": "/Applications/Zorvane.app/Contents/MacOS/Zorvane", "parent_pid": 1, "code": "host" }
    },
    "codes": {
      "helper": { "valid": true, "static": true,
                  "info": { "identifier": "com.brevant.zorvane.pellucor", "team": "TEAM123456", "designated_requirement": true } },
      "host":   { "valid": true, "static": true,
                  "info": { "identifier": "com.brevant.zorvane", "team": "TEAM123456", "designated_requirement": true } }
    },
    "frontmost": { "pid": 501, "bundle_id": "com.brevant.zorvane", "name": "Zorvane" },
    "accessibility": { "trusted": true, "prompt_answer": true },
    "focused_windows": { "501": { "attributes": { "AXTitle": "Zorvane" }, "children": [] } },
    "screen": { "windows": [], "error": null },
    "legacy_window_list": [ { "kCGWindowOwnerPID": 501, "kCGWindowNumber": 42, "kCGWindowSharingState": 1 } ],
    "keyboard": { "event_creation": true },
    "delays_ms": { "guest_code": 0 }
  })"),
            "(accepted)");
}

}  // namespace
}  // namespace pellucor::simulated
