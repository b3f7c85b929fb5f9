#include "native/mac_native_operations.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_signature.hpp"
#include "native/error_outcome.hpp"
#include "native/system_accessibility_reader.hpp"
#include "native/system_keyboard_event_poster.hpp"
#include "support/fake_accessibility_service.hpp"
#include "support/fake_clock.hpp"
#include "support/fake_code_signing.hpp"
#include "support/fake_keyboard_events.hpp"
#include "target_fixture.hpp"
#include "wire/json_encoder.hpp"

namespace pellucor {
namespace {

using testing::axPoint;
using testing::axSize;
using testing::axText;
using testing::failureOf;
using testing::FakeAXElement;

const std::string kDescription =
    "plugin.application application_id=0123456789abcdef01234567 application_name=Notes application_revision=r7";

JSONValue markerNode(const std::string& description = kDescription) {
  return JSONValue(JSONValue::Object{{"identifier", JSONValue("plugin-application-browser-root")},
                                     {"description", JSONValue(description)}});
}

JSONValue treeWith(JSONValue child) {
  return JSONValue(JSONValue::Object{{"role", JSONValue("AXWindow")}, {"children", JSONValue::Array{std::move(child)}}});
}

// A reader that answers with a prepared snapshot, or runs what a test gives.
class SubstituteReader final : public AccessibilityReading {
 public:
  bool trusted = true;
  std::function<void()> onTrustQuestion;
  std::function<AXReadSnapshot()> answer;
  std::vector<std::int32_t> reads;

  bool isProcessTrusted() const override {
    if (onTrustQuestion) onTrustQuestion();
    return trusted;
  }
  AXReadSnapshot readFocused(std::int32_t pid, const MonotonicDeadline&) override {
    reads.push_back(pid);
    return answer();
  }
};

// One machine: the helper's identifier, who is in front and whether it is
// signed as the host, what the focused window shows, and the request's
// target. Every member starts as the genuine release host showing the
// expected plugin application.
struct Machine {
  std::string helperID = "com.brevant.zorvane.pellucor";
  std::optional<FrontmostIdentity> frontmost = FrontmostIdentity{501, "com.brevant.zorvane", "Zorvane"};
  bool frontmostSignedAsHost = true;
  AXReadSnapshot snapshot{"Zorvane", platform::Rect{0, 0, 800, 600}, treeWith(markerNode())};
  Target target = testing::hostTarget();
};

class MacNativeOperationsTest : public ::testing::Test {
 protected:
  MacNativeOperationsTest() {
    reader_->answer = [this] { return machine_.snapshot; };
  }

  MonotonicDeadline deadline() const {
    return MonotonicDeadline(5, [clock = clock_] { return clock->uptimeNanoseconds(); });
  }

  MacNativeOperations operations(std::shared_ptr<AccessibilityReading> reader) {
    return MacNativeOperations(
        std::move(reader), nullptr, nullptr,
        [this] {
          ++frontmostQuestions_;
          return machine_.frontmost;
        },
        [this] {
          ++helperQuestions_;
          return machine_.helperID;
        },
        [this](std::int32_t pid, std::string_view hostBundleID) {
          signatureChecks_.push_back(std::to_string(pid) + " " + std::string(hostBundleID));
          return machine_.frontmostSignedAsHost;
        });
  }

  NativeExecution observe() { return operations(reader_).observeAX(machine_.target, deadline()); }
  std::string observeFailure() {
    return failureOf([&] { observe(); });
  }

  Machine machine_;
  std::shared_ptr<testing::FakeClock> clock_ = std::make_shared<testing::FakeClock>();
  std::shared_ptr<SubstituteReader> reader_ = std::make_shared<SubstituteReader>();
  int frontmostQuestions_ = 0;
  int helperQuestions_ = 0;
  std::vector<std::string> signatureChecks_;  // "pid host-bundle-identifier" of each check
};

TEST_F(MacNativeOperationsTest, ObserveAXReturnsTheTrustFlagAndTheValidatedTree) {
  reader_->trusted = false;
  const NativeExecution execution = observe();
  EXPECT_EQ(json::encode(execution.result),
            "{\"preflight_trusted\":false,\"tree\":{\"children\":[{\"description\":\"" + kDescription +
                "\",\"identifier\":\"plugin-application-browser-root\"}],\"role\":\"AXWindow\"}}");
  EXPECT_EQ(json::encode(execution.observation),
            "{\"application_id\":\"0123456789abcdef01234567\",\"application_name\":\"Notes\","
            "\"application_revision\":\"r7\",\"bundle_id\":\"com.brevant.zorvane\",\"pid\":501,"
            "\"surface\":\"plugin.application\"}");
  EXPECT_EQ(reader_->reads, std::vector<std::int32_t>{501});
}

struct ValidationCase {
  const char* name;
  std::function<void(Machine&)> change;
  std::string expected;
};

class TargetValidationTest : public MacNativeOperationsTest, public ::testing::WithParamInterface<ValidationCase> {};

TEST_P(TargetValidationTest, ProvesTheFrontmostHostAndItsFocusedWindow) {
  GetParam().change(machine_);
  EXPECT_EQ(observeFailure(), GetParam().expected);
}

const std::string kWrongFrontmost = "wrong_frontmost / target is not the exact frontmost Zorvane process";
const std::string kNotSignedAsHost = "wrong_frontmost / frontmost application is not signed as the host";
const std::string kWrongProduct = "wrong_product / target release product name differs";
const std::string kWrongTitle = "wrong_window_title / focused AX window title differs from the release product";
const std::string kMarkerMismatch =
    "marker_mismatch / focused window does not contain the exact Plugin application marker";

void developmentHost(Machine& m) {
  m.helperID = "com.brevant.zorvane.dev.pellucor";
  m.target.bundleID = "com.brevant.zorvane.dev";
  m.frontmost = FrontmostIdentity{501, "com.brevant.zorvane.dev", "Zorvane Dev"};
  m.snapshot.focusedTitle = "Zorvane Dev";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TargetValidationTest,
    ::testing::Values(
        ValidationCase{"GenuineReleaseHost", [](Machine&) {}, "succeeded"},
        ValidationCase{"GenuineDevelopmentHost", developmentHost, "succeeded"},
        ValidationCase{"HelperIsOnlyTheSuffix", [](Machine& m) { m.helperID = ".pellucor"; }, kWrongFrontmost},
        ValidationCase{"HelperWithoutIdentifier", [](Machine& m) { m.helperID = ""; }, kWrongFrontmost},
        ValidationCase{"HelperWithoutSuffix", [](Machine& m) { m.helperID = "com.brevant.zorvane"; }, kWrongFrontmost},
        ValidationCase{"HelperSuffixInOtherCase", [](Machine& m) { m.helperID = "com.brevant.zorvane.Pellucor"; },
                       kWrongFrontmost},
        ValidationCase{"TargetIsNotTheHostEvenInFront",
                       [](Machine& m) {
                         m.target.bundleID = "com.brevant.other";
                         m.frontmost->bundleID = "com.brevant.other";
                       },
                       kWrongFrontmost},
        ValidationCase{"NothingInFront", [](Machine& m) { m.frontmost.reset(); }, kWrongFrontmost},
        ValidationCase{"AnotherProcessInFront", [](Machine& m) { m.frontmost->pid = 502; }, kWrongFrontmost},
        ValidationCase{"AnotherApplicationInFront", [](Machine& m) { m.frontmost->bundleID = "com.brevant.other"; },
                       kWrongFrontmost},
        ValidationCase{"FrontmostNotRequired", [](Machine& m) { m.target.frontmostRequired = false; },
                       kWrongFrontmost},
        ValidationCase{"ImpostorInFront", [](Machine& m) { m.frontmostSignedAsHost = false; }, kNotSignedAsHost},
        ValidationCase{"DevelopmentImpostorInFront",
                       [](Machine& m) {
                         developmentHost(m);
                         m.frontmostSignedAsHost = false;
                       },
                       kNotSignedAsHost},
        ValidationCase{"ImpostorNotRequiredInFront",
                       [](Machine& m) {
                         m.frontmostSignedAsHost = false;
                         m.target.frontmostRequired = false;
                       },
                       kWrongFrontmost},
        ValidationCase{"SignatureIsCheckedBeforeTheProductName",
                       [](Machine& m) {
                         m.frontmostSignedAsHost = false;
                         m.frontmost->localizedName = "Other";
                       },
                       kNotSignedAsHost},
        ValidationCase{"DevelopmentHostNamedAsRelease",
                       [](Machine& m) {
                         developmentHost(m);
                         m.frontmost->localizedName = "Zorvane";
                       },
                       kWrongProduct},
        ValidationCase{"ReleaseHostNamedAsDevelopment",
                       [](Machine& m) { m.frontmost->localizedName = "Zorvane Dev"; }, kWrongProduct},
        ValidationCase{"ProductNameInLowerCase", [](Machine& m) { m.frontmost->localizedName = "zorvane"; },
                       kWrongProduct},
        ValidationCase{"TitleWithTrailingSpace", [](Machine& m) { m.snapshot.focusedTitle = "Zorvane "; },
                       kWrongTitle},
        ValidationCase{"TitleInLowerCase", [](Machine& m) { m.snapshot.focusedTitle = "zorvane"; }, kWrongTitle},
        ValidationCase{"TitleWithExtraLetter", [](Machine& m) { m.snapshot.focusedTitle = "Zorvanes"; }, kWrongTitle},
        ValidationCase{"WindowWithoutTitle", [](Machine& m) { m.snapshot.focusedTitle = ""; }, kWrongTitle},
        ValidationCase{"NoMarker", [](Machine& m) { m.snapshot.tree = JSONValue(JSONValue::Object{}); },
                       kMarkerMismatch},
        ValidationCase{"MarkerOfAnotherRevision",
                       [](Machine& m) { m.target.applicationRevision = "r8"; }, kMarkerMismatch},
        ValidationCase{"TitleIsCheckedBeforeMarker",
                       [](Machine& m) {
                         m.snapshot.focusedTitle = "Other";
                         m.snapshot.tree = JSONValue(JSONValue::Object{});
                       },
                       kWrongTitle},
        ValidationCase{"CanonicallyEquivalentIdentitiesAndNames",
                       [](Machine& m) {
                         m.helperID = "com.brevant.zorv\xC3\xA1ne.pellucor";
                         m.target.bundleID = "com.brevant.zorva\xCC\x81ne";
                         m.frontmost->bundleID = "com.brevant.zorv\xC3\xA1ne";
                         m.target.applicationName = "Caf\xC3\xA9";
                         m.snapshot.tree = treeWith(markerNode(
                             "plugin.application application_id=0123456789abcdef01234567 "
                             "application_name=Cafe\xCC\x81 application_revision=r7"));
                       },
                       "succeeded"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(MacNativeOperationsTest, AReadFailurePassesThroughUnchanged) {
  reader_->answer = []() -> AXReadSnapshot { throw PellucorError("ax_too_deep", "AX tree exceeds depth 12"); };
  EXPECT_EQ(observeFailure(), "ax_too_deep / AX tree exceeds depth 12");
}

TEST_F(MacNativeOperationsTest, NothingIsAskedOnceTheDeadlineHasPassed) {
  clock_->advanceUptime(1);
  const MonotonicDeadline passed(0, [clock = clock_] { return clock->uptimeNanoseconds(); });
  EXPECT_EQ(failureOf([&] { operations(reader_).observeAX(machine_.target, passed); }),
            "operation_timeout / operation exceeded its monotonic deadline");
  EXPECT_EQ(helperQuestions_, 0);
  EXPECT_EQ(frontmostQuestions_, 0);
  EXPECT_TRUE(reader_->reads.empty());
}

TEST_F(MacNativeOperationsTest, IdentityRefusalsNeverReadTheWindow) {
  machine_.frontmost->pid = 502;
  EXPECT_EQ(observeFailure(), kWrongFrontmost);
  EXPECT_TRUE(reader_->reads.empty());
  EXPECT_TRUE(signatureChecks_.empty()) << "a signature was checked for a process that is not the target";

  machine_.frontmost->pid = 501;
  machine_.frontmostSignedAsHost = false;
  EXPECT_EQ(observeFailure(), kNotSignedAsHost);
  EXPECT_TRUE(reader_->reads.empty());
}

TEST_F(MacNativeOperationsTest, ChecksTheFrontmostProcessAsTheDerivedHostOncePerValidation) {
  machine_.helperID = "com.brevant.zorv\xC3\xA1ne.pellucor";
  machine_.target.bundleID = "com.brevant.zorva\xCC\x81ne";
  machine_.frontmost->bundleID = "com.brevant.zorva\xCC\x81ne";
  EXPECT_EQ(observeFailure(), "succeeded");
  // The host as derived from the helper's identifier, in canonical form.
  EXPECT_EQ(signatureChecks_, std::vector<std::string>{"501 com.brevant.zorva\xCC\x81ne"});
}

TEST_F(MacNativeOperationsTest, ADeadlinePassingDuringTheReadIsATimeoutNotAMismatch) {
  machine_.snapshot.focusedTitle = "Other";
  reader_->answer = [this] {
    clock_->advanceUptime(5'000'000'000);
    return machine_.snapshot;
  };
  EXPECT_EQ(observeFailure(), "operation_timeout / operation exceeded its monotonic deadline");
}

TEST_F(MacNativeOperationsTest, ADeadlinePassingWhileTheResultIsBuiltIsATimeout) {
  reader_->onTrustQuestion = [this] { clock_->advanceUptime(5'000'000'000); };
  EXPECT_EQ(observeFailure(), "operation_timeout / operation exceeded its monotonic deadline");
}

TEST_F(MacNativeOperationsTest, AsksWhoIsInFrontAfreshAtEveryValidation) {
  auto ops = operations(reader_);
  EXPECT_EQ(failureOf([&] { ops.observeAX(machine_.target, deadline()); }), "succeeded");
  machine_.frontmost->pid = 777;
  EXPECT_EQ(failureOf([&] { ops.observeAX(machine_.target, deadline()); }), kWrongFrontmost);
  EXPECT_EQ(frontmostQuestions_, 2);
  EXPECT_EQ(helperQuestions_, 2);
}

// The hidden cost of the host's signature: one check of its running code per
// validation (observe_ax validates once, a key press twice), and never its
// static code, which would hash the host bundle's resources.
TEST(HostSignatureCostTest, OneRunningCodeCheckPerValidationAndNoStaticValidation) {
  const auto codeSigning = std::make_shared<testing::FakeCodeSigningService>();
  codeSigning->addSignedCode("helper", "com.brevant.zorvane.pellucor", "TEAM123456");
  codeSigning->addSignedCode("host", "com.brevant.zorvane", "TEAM123456");
  codeSigning->setSelf("helper");
  codeSigning->setGuest(501, "host");
  const auto operations = testing::hostOperations(
      std::make_shared<testing::ScriptedReader>(std::vector{testing::reads(testing::focusedSnapshot({0, 0, 8, 6}))}),
      std::make_shared<SystemKeyboardEventPoster>(std::make_shared<testing::FakeKeyboardEvents>()), nullptr,
      makeHostSignatureCheck(codeSigning));
  const auto count = [&](const std::string& operation) {
    return std::count_if(codeSigning->calls().begin(), codeSigning->calls().end(),
                         [&](const auto& call) { return call.operation == operation; });
  };
  testing::DeadlineClock clock;

  operations->observeAX(testing::hostTarget(), clock.deadline(5));
  EXPECT_EQ(count("checkValidity"), 1);
  operations->postKey(PhysicalKey::a, {}, testing::hostTarget(), clock.deadline(1));
  EXPECT_EQ(count("checkValidity"), 3);
  EXPECT_EQ(count("copyStaticCode"), 0);
  EXPECT_EQ(count("checkStaticValidity"), 0);
}

// {"preflight_trusted":false,"tree":T} measures T plus 35 bytes, and with
// true T plus 34. A tree the reader accepts can still make the result too big.
TEST_F(MacNativeOperationsTest, MeasuresTheWholeResultAgainstTheBudget) {
  const auto treeOfSize = [](std::size_t size) {
    JSONValue tree = treeWith(markerNode());
    const std::size_t base = json::measuredSize(JSONValue(JSONValue::Object{
        {"role", JSONValue("AXWindow")}, {"children", JSONValue::Array{markerNode()}}, {"value", JSONValue("")}}));
    tree.asObject().emplace("value", JSONValue(std::string(size - base, 'v')));
    return tree;
  };
  struct Case {
    const char* name;
    std::size_t treeSize;
    bool trusted;
    std::string expected;
  };
  const Case cases[] = {
      {"UntrustedAtTheBudget", 1048576 - 35, false, "succeeded"},
      {"UntrustedOneOver", 1048576 - 34, false, "ax_too_large / complete AX JSON exceeds 1 MiB"},
      {"TrustedAtTheBudget", 1048576 - 34, true, "succeeded"},
      {"TreeItselfAtTheBudget", 1048576, true, "ax_too_large / complete AX JSON exceeds 1 MiB"},
  };
  for (const auto& c : cases) {
    machine_.snapshot.tree = treeOfSize(c.treeSize);
    ASSERT_EQ(json::measuredSize(machine_.snapshot.tree), c.treeSize) << c.name;
    reader_->trusted = c.trusted;
    EXPECT_EQ(observeFailure(), c.expected) << c.name;
  }
}

// The same proofs over the system reader and a fake accessibility service.
class ObserveAXOnFakeAccessibilityTest : public MacNativeOperationsTest {
 protected:
  ObserveAXOnFakeAccessibilityTest() {
    window_->set("AXTitle", axText("Zorvane")).set("AXPosition", axPoint(0, 25)).set("AXSize", axSize(1280, 800));
    service_->focus(501, window_);
  }

  std::string observeOnService() {
    return failureOf([&] {
      operations(std::make_shared<SystemAccessibilityReader>(service_)).observeAX(machine_.target, deadline());
    });
  }

  static void makeMarker(FakeAXElement& element, const std::string& description) {
    element.set("AXIdentifier", axText("plugin-application-browser-root")).set("AXDescription", axText(description));
  }

  std::shared_ptr<testing::FakeAccessibilityService> service_ = std::make_shared<testing::FakeAccessibilityService>();
  std::shared_ptr<FakeAXElement> window_ = FakeAXElement::make();
};

TEST_F(ObserveAXOnFakeAccessibilityTest, FindsAMarkerTwelveLevelsDownBelowANearMiss) {
  auto current = window_;
  for (int level = 1; level <= 12; ++level) {
    current = current->addChild();
    if (level == 4) makeMarker(*current, kDescription + " ");
  }
  makeMarker(*current, kDescription);
  EXPECT_EQ(observeOnService(), "succeeded");
}

TEST_F(ObserveAXOnFakeAccessibilityTest, ANearMissAloneIsAMismatch) {
  makeMarker(*window_->addChild(), "plugin.application application_id=0123456789abcdef01234567 "
                                   "application_name=Note application_revision=r7");
  EXPECT_EQ(observeOnService(), kMarkerMismatch);
}

TEST_F(ObserveAXOnFakeAccessibilityTest, RefusedAccessibilityIsReportedWithItsStatus) {
  makeMarker(*window_->addChild(), kDescription);
  service_->focusedWindows[501] = platform::AXResult{-25211, std::nullopt};
  EXPECT_EQ(observeOnService(), "ax_focused_read_failed / real focused AX read failed with code -25211");
}

TEST_F(ObserveAXOnFakeAccessibilityTest, ATitleDifferingByATrailingSpaceIsRefused) {
  makeMarker(*window_->addChild(), kDescription);
  window_->set("AXTitle", axText("Zorvane "));
  EXPECT_EQ(observeOnService(), kWrongTitle);
}

TEST_F(ObserveAXOnFakeAccessibilityTest, ADeadlinePassingDuringTheWalkIsATimeout) {
  window_->set("AXTitle", axText("Not the product"));
  window_->addChild()->addChild();
  service_->beforeAnswer = [this](std::string_view attribute) {
    if (attribute == "AXChildren") clock_->advanceUptime(3'000'000'000);
  };
  EXPECT_EQ(observeOnService(), "operation_timeout / operation exceeded its monotonic deadline");
}

}  // namespace
}  // namespace pellucor
