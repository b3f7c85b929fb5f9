#include <gtest/gtest.h>

#include <string>

#include "simulated_desktop_fixture.hpp"

namespace pellucor::simulated {
namespace {

using platform::PlatformValue;
using testing::desktopFrom;

constexpr const char* kSignedDesktop = R"({
  "helper": {"code": "helper"},
  "processes": {
    "501": {"path": "/Applications/Zorvane.app/Contents/MacOS/Zorvane", "parent_pid": 1, "code": "host"},
    "600": {"path": "/usr/bin/tool", "code": "broken"},
    "601": {"parent_pid": 600, "code": "unsigned"},
    "602": {"path": "", "code": "diskless"}},
  "codes": {
    "helper": {"info": {"identifier": "com.brevant.zorvane.pellucor", "team": "TEAM123456"}},
    "host": {"valid": true, "static": true,
             "info": {"identifier": "com.brevant.zorvane", "team": "TEAM123456", "designated_requirement": true}},
    "broken": {"valid": false, "info": {"identifier": 12, "team": null, "designated_requirement": false}},
    "unsigned": {"info": null},
    "diskless": {"static": false, "info": {"identifier": "x"}}}})";

TEST(SimulatedMainBundle, DefaultsDescribeABundleWithoutAnything) {
  const auto services = desktopFrom("{}")->services();
  EXPECT_EQ(services.mainBundle->bundlePath(), "/");
  EXPECT_EQ(services.mainBundle->bundleIdentifier(), std::nullopt);
  EXPECT_EQ(services.mainBundle->executablePath(), std::nullopt);
  EXPECT_EQ(services.mainBundle->infoValue("CFBundleDisplayName"), std::nullopt);
  EXPECT_EQ(services.processTable->parentProcessID(), 1);
  const auto self = services.codeSigning->copySelf(0);
  EXPECT_NE(self.status, 0);
  EXPECT_EQ(self.code, nullptr);
}

TEST(SimulatedMainBundle, InfoValuesAreTextOnlyWhenStrings) {
  const auto bundle = desktopFrom(R"({"helper": {
    "bundle_path": "/Applications/Zorvane.app/Contents/Helpers/Zorvane Pellucor.app",
    "executable_path": null, "bundle_id": "com.brevant.zorvane.pellucor", "parent_pid": 501,
    "info": {"CFBundleDisplayName": "Zorvane Pellucor", "Number": 3, "Nothing": null}}})")
                          ->services()
                          .mainBundle;
  EXPECT_EQ(bundle->bundlePath(), "/Applications/Zorvane.app/Contents/Helpers/Zorvane Pellucor.app");
  EXPECT_EQ(bundle->executablePath(), std::nullopt);
  EXPECT_EQ(bundle->bundleIdentifier(), "com.brevant.zorvane.pellucor");
  const auto name = bundle->infoValue("CFBundleDisplayName");
  ASSERT_TRUE(name.has_value());
  EXPECT_EQ(name->kind, PlatformValue::Kind::text);
  EXPECT_EQ(name->text, "Zorvane Pellucor");
  for (const char* key : {"Number", "Nothing"}) {
    const auto value = bundle->infoValue(key);
    ASSERT_TRUE(value.has_value()) << key;
    EXPECT_EQ(value->kind, PlatformValue::Kind::other) << key;
  }
}

TEST(SimulatedProcessTable, MissingFactsMakeTheirLookupFail) {
  const auto processes = desktopFrom(kSignedDesktop)->services().processTable;
  EXPECT_EQ(processes->executablePath(501), "/Applications/Zorvane.app/Contents/MacOS/Zorvane");
  EXPECT_EQ(processes->parentOf(501), 1);
  EXPECT_EQ(processes->parentOf(600), std::nullopt);
  EXPECT_EQ(processes->executablePath(601), std::nullopt);
  EXPECT_EQ(processes->executablePath(602), std::nullopt);  // an empty path has length 0
  EXPECT_EQ(processes->executablePath(999), std::nullopt);
  EXPECT_EQ(processes->parentOf(999), std::nullopt);
}

TEST(SimulatedProcessTable, APathEndsAtItsFirstZeroByte) {
  const auto processes =
      desktopFrom(R"({"processes": {"5": {"path": "/bin/a\u0000hidden"}}})")->services().processTable;
  EXPECT_EQ(processes->executablePath(5), "/bin/a");
}

struct ValidityCase {
  const char* name;
  std::int32_t pid;
  std::uint32_t runningFlags;
  std::int32_t runningStatus;
  std::uint32_t staticFlags;
  std::int32_t staticStatus;
};

class SimulatedCodeValidity : public ::testing::TestWithParam<ValidityCase> {};

TEST_P(SimulatedCodeValidity, AnswersFromTheValidFlagAndRefusesStaticFlagsOnRunningCode) {
  const ValidityCase& c = GetParam();
  const auto signing = desktopFrom(kSignedDesktop)->services().codeSigning;
  const auto guest = signing->copyGuestWithPid(c.pid, 0);
  ASSERT_EQ(guest.status, 0);
  ASSERT_NE(guest.code, nullptr);
  EXPECT_EQ(signing->checkValidity(guest.code, c.runningFlags), c.runningStatus);
  const auto staticCode = signing->copyStaticCode(guest.code, 0);
  ASSERT_EQ(staticCode.status, 0);
  EXPECT_EQ(signing->checkStaticValidity(staticCode.code, c.staticFlags), c.staticStatus);
}

INSTANTIATE_TEST_SUITE_P(Cases, SimulatedCodeValidity,
                         ::testing::Values(ValidityCase{"ValidWithValidationFlags", 501, 16, 0, 17, 0},
                                           ValidityCase{"ValidWithDefaultFlags", 501, 0, 0, 0, 0},
                                           ValidityCase{"AllArchitecturesOnRunningCode", 501, 17, -67070, 17, 0},
                                           ValidityCase{"AllArchitecturesAloneOnRunningCode", 501, 1, -67070, 1, 0},
                                           ValidityCase{"ResourcesLeftOutOfStaticCheck", 501, 16, 0, 21, 0},
                                           ValidityCase{"ResourcesLeftOutOnRunningCode", 501, 21, -67070, 21, 0},
                                           ValidityCase{"InvalidCodeWithResourcesLeftOut", 600, 16, -67061, 21, -67061},
                                           ValidityCase{"InvalidCode", 600, 16, -67061, 17, -67061},
                                           ValidityCase{"InvalidCodeWithBadFlags", 600, 17, -67070, 17, -67061}),
                         [](const ::testing::TestParamInfo<ValidityCase>& row) { return std::string(row.param.name); });

struct SigningInformationCase {
  const char* name;
  std::int32_t pid;
  std::uint32_t flags;
  std::int32_t status;
  bool hasInformation;
  bool identifierIsText;
  bool hasTeam;
  bool hasDesignatedRequirement;
};

class SimulatedSigningInformation : public ::testing::TestWithParam<SigningInformationCase> {};

TEST_P(SimulatedSigningInformation, IncludesEachEntryOnlyWhenAskedForAndPresent) {
  const SigningInformationCase& c = GetParam();
  const auto signing = desktopFrom(kSignedDesktop)->services().codeSigning;
  const auto guest = signing->copyGuestWithPid(c.pid, 0);
  const auto staticCode = signing->copyStaticCode(guest.code, 0);
  ASSERT_EQ(staticCode.status, 0);
  const auto result = signing->copySigningInformation(staticCode.code, c.flags);
  EXPECT_EQ(result.status, c.status);
  ASSERT_EQ(result.information.has_value(), c.hasInformation);
  if (!c.hasInformation) return;
  ASSERT_TRUE(result.information->identifier.has_value());
  EXPECT_EQ(result.information->identifier->kind == PlatformValue::Kind::text, c.identifierIsText);
  EXPECT_EQ(result.information->teamIdentifier.has_value(), c.hasTeam);
  EXPECT_EQ(result.information->hasDesignatedRequirement, c.hasDesignatedRequirement);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimulatedSigningInformation,
    ::testing::Values(SigningInformationCase{"SigningFlagAlone", 501, 2, 0, true, true, true, false},
                      SigningInformationCase{"SigningAndRequirementFlags", 501, 6, 0, true, true, true, true},
                      SigningInformationCase{"DefaultFlagsGiveTheIdentifierOnly", 501, 0, 0, true, true, false, false},
                      SigningInformationCase{"RequirementAbsentFromTheCode", 600, 6, 0, true, false, false, false},
                      SigningInformationCase{"UnsignedCode", 601, 6, -67062, false, false, false, false}),
    [](const ::testing::TestParamInfo<SigningInformationCase>& row) { return std::string(row.param.name); });

TEST(SimulatedCodeSigning, OwnAndGuestCodesComeFromTheirNamedEntries) {
  const auto signing = desktopFrom(kSignedDesktop)->services().codeSigning;
  const auto self = signing->copySelf(0);
  ASSERT_EQ(self.status, 0);
  const auto selfStatic = signing->copyStaticCode(self.code, 0);
  const auto information = signing->copySigningInformation(selfStatic.code, 2);
  ASSERT_TRUE(information.information.has_value());
  EXPECT_EQ(information.information->identifier->text, "com.brevant.zorvane.pellucor");
  EXPECT_EQ(information.information->teamIdentifier->text, "TEAM123456");

  const auto unknownProcess = signing->copyGuestWithPid(999, 0);
  EXPECT_NE(unknownProcess.status, 0);
  EXPECT_EQ(unknownProcess.code, nullptr);
}

TEST(SimulatedCodeSigning, CodeWithoutStaticCodeAndForeignObjectsFail) {
  const auto signing = desktopFrom(kSignedDesktop)->services().codeSigning;
  const auto diskless = signing->copyGuestWithPid(602, 0);
  ASSERT_EQ(diskless.status, 0);
  const auto staticCode = signing->copyStaticCode(diskless.code, 0);
  EXPECT_EQ(staticCode.status, -67068);
  EXPECT_EQ(staticCode.code, nullptr);
  // Running code stands for its static code, which this one lacks.
  EXPECT_EQ(signing->copySigningInformation(diskless.code, 2).status, -67068);

  EXPECT_EQ(signing->checkValidity(nullptr, 0), -67071);
  EXPECT_EQ(signing->copyStaticCode(nullptr, 0).status, -67071);
  EXPECT_EQ(signing->checkStaticValidity(nullptr, 17), -67071);
  const auto self = signing->copySelf(0);
  const auto selfStatic = signing->copyStaticCode(self.code, 0);
  // Static code is not running code.
  EXPECT_EQ(signing->checkValidity(selfStatic.code, 0), -67071);
}

}  // namespace
}  // namespace pellucor::simulated
