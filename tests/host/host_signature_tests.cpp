#include "host/host_signature.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/fake_code_signing.hpp"

namespace pellucor {
namespace {

using testing::FakeCodeSigningService;
using testing::FakeSignature;
using Call = FakeCodeSigningService::Call;

FakeSignature signedBy(const std::string& identifier, const std::string& team) {
  FakeSignature signature;
  signature.identifier = platform::PlatformValue::makeText(identifier);
  signature.teamIdentifier = platform::PlatformValue::makeText(team);
  return signature;
}

// The helper and the process in front, as their signatures stand; every
// member starts as the genuine release host and its helper, both signed by
// one team.
struct Signatures {
  std::string host = "com.brevant.zorvane";
  FakeSignature helper = signedBy("com.brevant.zorvane.pellucor", "TEAM123456");
  FakeSignature frontmost = signedBy("com.brevant.zorvane", "TEAM123456");
  bool helperCodeAvailable = true;
  bool frontmostCodeAvailable = true;
};

struct SignatureCase {
  const char* name;
  std::function<void(Signatures&)> change;
  bool signedAsHost;
};

class HostSignatureTest : public ::testing::TestWithParam<SignatureCase> {};

TEST_P(HostSignatureTest, AcceptsOnlyValidRunningCodeSignedAsTheHostByTheHelpersTeam) {
  Signatures signatures;
  GetParam().change(signatures);
  const auto codeSigning = std::make_shared<FakeCodeSigningService>();
  codeSigning->addCode("helper", signatures.helper);
  codeSigning->addCode("frontmost", signatures.frontmost);
  if (signatures.helperCodeAvailable) codeSigning->setSelf("helper");
  if (signatures.frontmostCodeAvailable) codeSigning->setGuest(501, "frontmost");

  EXPECT_EQ(makeHostSignatureCheck(codeSigning)(501, signatures.host), GetParam().signedAsHost);
  EXPECT_FALSE(codeSigning->anyCodeStillHeld());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostSignatureTest,
    ::testing::Values(
        SignatureCase{"GenuineHost", [](Signatures&) {}, true},
        SignatureCase{"HostIdentifierCanonicallyEquivalent",
                      [](Signatures& s) {
                        s.host = "com.brevant.zorv\xC3\xA1ne";
                        s.frontmost = signedBy("com.brevant.zorva\xCC\x81ne", "TEAM123456");
                      },
                      true},
        SignatureCase{"NoRunningCode", [](Signatures& s) { s.frontmostCodeAvailable = false; }, false},
        SignatureCase{"Unsigned", [](Signatures& s) { s.frontmost.informationAvailable = false; }, false},
        SignatureCase{"InvalidSignature", [](Signatures& s) { s.frontmost.valid = false; }, false},
        SignatureCase{"NoStaticCodeToReadTheSignatureFrom",
                      [](Signatures& s) { s.frontmost.staticCodeAvailable = false; }, false},
        SignatureCase{"SignedByAnotherTeam",
                      [](Signatures& s) { s.frontmost = signedBy("com.brevant.zorvane", "OTHER12345"); }, false},
        SignatureCase{"SignedByTheTeamWithAnotherIdentifier",
                      [](Signatures& s) { s.frontmost = signedBy("com.brevant.zorvane.dev", "TEAM123456"); }, false},
        SignatureCase{"IdentifierInAnotherCase",
                      [](Signatures& s) { s.frontmost = signedBy("com.brevant.Zorvane", "TEAM123456"); }, false},
        SignatureCase{"AdHocWithoutTeam", [](Signatures& s) { s.frontmost.teamIdentifier.reset(); }, false},
        SignatureCase{"BothTeamsEmpty",
                      [](Signatures& s) {
                        s.frontmost = signedBy("com.brevant.zorvane", "");
                        s.helper = signedBy("com.brevant.zorvane.pellucor", "");
                      },
                      false},
        SignatureCase{"TeamNotText",
                      [](Signatures& s) { s.frontmost.teamIdentifier = platform::PlatformValue::makeInteger(7); },
                      false},
        SignatureCase{"IdentifierNotText",
                      [](Signatures& s) { s.frontmost.identifier = platform::PlatformValue::makeOther(); }, false},
        SignatureCase{"HelpersOwnCodeUnavailable", [](Signatures& s) { s.helperCodeAvailable = false; }, false},
        SignatureCase{"HelpersOwnSignatureUnreadable",
                      [](Signatures& s) { s.helper.informationAvailable = false; }, false},
        SignatureCase{"HelperWithoutTeam", [](Signatures& s) { s.helper.teamIdentifier.reset(); }, false},
        // The helper's own signature was validated by the identity check;
        // here only its team is read.
        SignatureCase{"HelpersOwnValidityIsNotCheckedAgain", [](Signatures& s) { s.helper.valid = false; }, true}),
    [](const auto& row) { return std::string(row.param.name); });

// The check's whole cost: the running code of the process in front, one
// validity check with the flags the identity check uses for running code,
// and two reads of signing information from running code; no static code,
// so nothing of the host bundle's resources is hashed.
TEST(HostSignatureCallsTest, OneRunningCodeCheckAndNoStaticCode) {
  const auto codeSigning = std::make_shared<FakeCodeSigningService>();
  codeSigning->addSignedCode("helper", "com.brevant.zorvane.pellucor", "TEAM123456");
  codeSigning->addSignedCode("host", "com.brevant.zorvane", "TEAM123456");
  codeSigning->setSelf("helper");
  codeSigning->setGuest(501, "host");

  ASSERT_TRUE(makeHostSignatureCheck(codeSigning)(501, "com.brevant.zorvane"));
  EXPECT_EQ(codeSigning->calls(), (std::vector<Call>{
                                      {"copyGuestWithPid", "host", 0},
                                      {"checkValidity", "host", 16},
                                      {"copySigningInformation", "host", 2},
                                      {"copySelf", "", 0},
                                      {"copySigningInformation", "helper", 2},
                                  }));
}

TEST(HostSignatureCallsTest, AnImpostorsRefusalStopsAtItsOwnSignature) {
  const auto codeSigning = std::make_shared<FakeCodeSigningService>();
  codeSigning->addSignedCode("impostor", "com.brevant.zorvane", "OTHER12345");
  codeSigning->setGuest(777, "impostor");
  EXPECT_FALSE(makeHostSignatureCheck(codeSigning)(777, "com.brevant.zorvane"));
  EXPECT_EQ(codeSigning->calls(), (std::vector<Call>{
                                      {"copyGuestWithPid", "impostor", 0},
                                      {"checkValidity", "impostor", 16},
                                      {"copySigningInformation", "impostor", 2},
                                      {"copySelf", "", 0},
                                  }));
}

}  // namespace
}  // namespace pellucor
