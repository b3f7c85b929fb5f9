#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "intake/protocol_parser.hpp"
#include "intake_outcome.hpp"

namespace pellucor {
namespace {

constexpr const char* kExampleLine =
    R"({"protocol":"zor-vane.pellucor/v2","request_id":"00000000-0000-4000-8000-000000000000",)"
    R"("nonce":"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA","operation":"key","target":{"pid":501,)"
    R"("bundle_id":"com.brevant.zorvane","frontmost_required":true,"surface":"plugin.application",)"
    R"("application_id":"0123456789abcdef01234567","application_name":"Example","application_revision":"1.0"},)"
    R"("params":{"key":"a"}})";

// A request line assembled from raw JSON fragments, so that each case changes
// exactly one thing of the example line.
struct Line {
  std::string protocol = R"("zor-vane.pellucor/v2")";
  std::string requestID = R"("00000000-0000-4000-8000-000000000000")";
  std::string nonce = R"("AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA")";
  std::string operation = R"("key")";
  std::string pid = "501";
  std::string bundleID = R"("com.brevant.zorvane")";
  std::string frontmostRequired = "true";
  std::string windowID;  // raw value; empty leaves the member out
  std::string surface = R"("plugin.application")";
  std::string applicationID = R"("0123456789abcdef01234567")";
  std::string applicationName = R"("Example")";
  std::string applicationRevision = R"("1.0")";
  std::string targetExtra;  // raw members appended to the target
  std::string target;       // when set, replaces the whole target
  std::string params = R"({"key":"a"})";
  std::string envelopeExtra;  // raw members appended to the envelope
  bool withParams = true;

  std::string text() const {
    std::string binding = target;
    if (binding.empty()) {
      binding = R"({"pid":)" + pid + R"(,"bundle_id":)" + bundleID + R"(,"frontmost_required":)" +
                frontmostRequired + R"(,"surface":)" + surface + R"(,"application_id":)" + applicationID +
                R"(,"application_name":)" + applicationName + R"(,"application_revision":)" +
                applicationRevision;
      if (!windowID.empty()) binding += R"(,"window_id":)" + windowID;
      binding += targetExtra + "}";
    }
    std::string line = R"({"protocol":)" + protocol + R"(,"request_id":)" + requestID + R"(,"nonce":)" + nonce +
                       R"(,"operation":)" + operation + R"(,"target":)" + binding;
    if (withParams) line += R"(,"params":)" + params;
    return line + envelopeExtra + "}";
  }
};

std::string outcome(std::string_view bytes) {
  return testing::intakeOutcome([&] { ProtocolParser::parse(bytes); });
}

constexpr const char* kOk = "ok";
constexpr const char* kUnknownField = "invalid_schema: unknown or missing field in closed v2 schema";
constexpr const char* kMismatch = "invalid_schema: request does not match the closed v2 schema";
constexpr const char* kProtocol = "invalid_protocol: unsupported protocol version";
constexpr const char* kRequestID = "invalid_request_id: request_id must be UUIDv4";
constexpr const char* kNonce = "invalid_nonce: nonce must encode exactly 32 random bytes";
constexpr const char* kTarget = "invalid_target: target binding is incomplete";
constexpr const char* kEmptyParams = "invalid_params: operation takes empty params";
constexpr const char* kCaptureParams = "invalid_params: capture requires window_id and empty params";
constexpr const char* kKeyParams = "invalid_params: key requires exactly one key";
constexpr const char* kHotkeyParams = "invalid_params: hotkey requires one key and up to three distinct modifiers";
constexpr const char* kTooLarge = "request_too_large: request exceeds 65536 bytes";

struct ParseCase {
  const char* name;
  std::function<void(Line&)> change;
  const char* expected;
};

void expectOutcomes(const std::vector<ParseCase>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Line line;
    c.change(line);
    EXPECT_EQ(outcome(line.text()), c.expected) << line.text();
  }
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

TEST(ProtocolParser, ExampleLineDecodesToAKeyRequest) {
  ASSERT_EQ(Line().text(), kExampleLine);
  const Request request = ProtocolParser::parse(kExampleLine);
  EXPECT_EQ(request.requestID, "00000000-0000-4000-8000-000000000000");
  EXPECT_EQ(request.nonce, "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA");
  EXPECT_EQ(request.operation, PellucorOperation::key);
  EXPECT_EQ(request.target.pid, 501);
  EXPECT_EQ(request.target.bundleID, "com.brevant.zorvane");
  EXPECT_TRUE(request.target.frontmostRequired);
  EXPECT_EQ(request.target.windowID, std::nullopt);
  EXPECT_EQ(request.target.surface, "plugin.application");
  EXPECT_EQ(request.target.applicationID, "0123456789abcdef01234567");
  EXPECT_EQ(request.target.applicationName, "Example");
  EXPECT_EQ(request.target.applicationRevision, "1.0");
  EXPECT_EQ(request.key, PhysicalKey::a);
  EXPECT_TRUE(request.modifiers.empty());
}

TEST(ProtocolParser, KeptFieldsOfEachOperation) {
  Line hotkey;
  hotkey.operation = R"("hotkey")";
  hotkey.params = R"({"key":"page_up","modifiers":["option","command","shift"]})";
  hotkey.windowID = "9";
  Request request = ProtocolParser::parse(hotkey.text());
  EXPECT_EQ(request.key, PhysicalKey::pageUp);
  EXPECT_EQ(request.modifiers, (std::vector{KeyModifier::option, KeyModifier::command, KeyModifier::shift}));
  EXPECT_EQ(request.target.windowID, 9u);

  Line noModifiers = hotkey;
  noModifiers.params = R"({"key":"0","modifiers":[]})";
  request = ProtocolParser::parse(noModifiers.text());
  EXPECT_EQ(request.key, PhysicalKey::zero);
  EXPECT_TRUE(request.modifiers.empty());

  Line capture;
  capture.operation = R"("capture_target_window")";
  capture.params = "{}";
  capture.windowID = "0";
  request = ProtocolParser::parse(capture.text());
  EXPECT_EQ(request.operation, PellucorOperation::captureTargetWindow);
  EXPECT_EQ(request.target.windowID, 0u);
  EXPECT_EQ(request.key, std::nullopt);

  Line observe;
  observe.operation = R"("observe_ax")";
  observe.params = R"({"key":null,"modifiers":null})";
  request = ProtocolParser::parse(observe.text());
  EXPECT_EQ(request.operation, PellucorOperation::observeAX);
  EXPECT_EQ(request.key, std::nullopt);
  EXPECT_TRUE(request.modifiers.empty());

  Line escaped;
  escaped.protocol = R"("zor-vane.pellucor\/v2")";
  escaped.surface = R"("plugin\u002eapplication")";
  escaped.applicationName = R"("Caf\u00e9")";
  request = ProtocolParser::parse(escaped.text());
  EXPECT_EQ(request.target.surface, "plugin.application");
  EXPECT_EQ(request.target.applicationName, "Caf\xC3\xA9");
}

TEST(ProtocolParser, ParamsForEachOperation) {
  expectOutcomes({
      {"observe_ax with empty params", [](Line& l) { l.operation = R"("observe_ax")"; l.params = "{}"; }, kOk},
      {"observe_ax with a null key", [](Line& l) { l.operation = R"("observe_ax")"; l.params = R"({"key":null})"; }, kOk},
      {"observe_ax with a key", [](Line& l) { l.operation = R"("observe_ax")"; }, kEmptyParams},
      {"observe_ax with empty modifiers",
       [](Line& l) { l.operation = R"("observe_ax")"; l.params = R"({"modifiers":[]})"; }, kEmptyParams},
      {"enumerate with a key", [](Line& l) { l.operation = R"("enumerate_target_windows")"; }, kEmptyParams},
      {"enumerate with a window", [](Line& l) {
         l.operation = R"("enumerate_target_windows")"; l.params = "{}"; l.windowID = "3"; }, kOk},
      {"key without params members", [](Line& l) { l.params = "{}"; }, kKeyParams},
      {"key with a null key", [](Line& l) { l.params = R"({"key":null})"; }, kKeyParams},
      {"key with empty modifiers", [](Line& l) { l.params = R"({"key":"a","modifiers":[]})"; }, kKeyParams},
      {"key with a window", [](Line& l) { l.windowID = "4"; }, kOk},
      {"capture with window 0", [](Line& l) {
         l.operation = R"("capture_target_window")"; l.params = "{}"; l.windowID = "0"; }, kOk},
      {"capture with empty params and no window", [](Line& l) {
         l.operation = R"("capture_target_window")"; l.params = "{}"; }, kCaptureParams},
      {"capture with a null window", [](Line& l) {
         l.operation = R"("capture_target_window")"; l.params = "{}"; l.windowID = "null"; }, kCaptureParams},
      {"capture with a key", [](Line& l) { l.operation = R"("capture_target_window")"; l.windowID = "1"; },
       kCaptureParams},
      {"hotkey with no modifier", [](Line& l) {
         l.operation = R"("hotkey")"; l.params = R"({"key":"a","modifiers":[]})"; }, kOk},
      {"hotkey with three modifiers", [](Line& l) {
         l.operation = R"("hotkey")"; l.params = R"({"key":"a","modifiers":["command","shift","option"]})"; }, kOk},
      {"hotkey with four modifiers", [](Line& l) {
         l.operation = R"("hotkey")";
         l.params = R"({"key":"a","modifiers":["command","shift","option","control"]})"; }, kHotkeyParams},
      {"hotkey with a modifier twice", [](Line& l) {
         l.operation = R"("hotkey")"; l.params = R"({"key":"a","modifiers":["shift","shift"]})"; }, kHotkeyParams},
      {"hotkey without modifiers", [](Line& l) { l.operation = R"("hotkey")"; }, kHotkeyParams},
      {"hotkey with null modifiers", [](Line& l) {
         l.operation = R"("hotkey")"; l.params = R"({"key":"a","modifiers":null})"; }, kHotkeyParams},
      {"hotkey without a key", [](Line& l) {
         l.operation = R"("hotkey")"; l.params = R"({"modifiers":["command"]})"; }, kHotkeyParams},
  });
}

TEST(ProtocolParser, ClosedMemberSets) {
  expectOutcomes({
      {"extra target member", [](Line& l) { l.targetExtra = R"(,"title":"x")"; }, kUnknownField},
      {"extra params member", [](Line& l) { l.params = R"({"key":"a","text":"x"})"; }, kUnknownField},
      {"seventh top-level member", [](Line& l) { l.envelopeExtra = R"(,"extra":1)"; }, kUnknownField},
      {"missing params", [](Line& l) { l.withParams = false; }, kUnknownField},
      {"missing target member", [](Line& l) {
         l.target = R"({"pid":501,"bundle_id":"b","frontmost_required":true,"surface":"plugin.application",)"
                    R"("application_id":"0123456789abcdef01234567","application_name":"Example"})"; },
       kUnknownField},
      {"target is an array", [](Line& l) { l.target = "[]"; }, kUnknownField},
      {"target is null", [](Line& l) { l.target = "null"; }, kUnknownField},
      {"params is null", [](Line& l) { l.params = "null"; }, kUnknownField},
      {"params is a string", [](Line& l) { l.params = R"("key")"; }, kUnknownField},
      {"member name in another case", [](Line& l) { l.targetExtra = R"(,"Window_id":1)"; }, kUnknownField},
      {"member names are decoded before comparing", [](Line& l) {
         l.envelopeExtra = ""; l.params = R"({"\u006bey":"a"})"; }, kOk},
      {"member-name violation wins over a decoding failure", [](Line& l) {
         l.protocol = "1"; l.envelopeExtra = R"(,"x":1)"; }, kUnknownField},
      {"target member violation wins over a bad pid", [](Line& l) {
         l.pid = R"("501")"; l.targetExtra = R"(,"x":1)"; }, kUnknownField},
  });
  for (const char* topLevel : {"[]", R"("request")", "7", "null", "true"}) {
    EXPECT_EQ(outcome(topLevel), kUnknownField) << topLevel;
  }
}

TEST(ProtocolParser, TypedDecoding) {
  expectOutcomes({
      {"pid as a string", [](Line& l) { l.pid = R"("501")"; }, kMismatch},
      {"pid null", [](Line& l) { l.pid = "null"; }, kMismatch},
      {"pid largest Int32", [](Line& l) { l.pid = "2147483647"; }, kOk},
      {"pid one beyond Int32", [](Line& l) { l.pid = "2147483648"; }, kMismatch},
      {"pid one below Int32", [](Line& l) { l.pid = "-2147483649"; }, kMismatch},
      {"pid beyond 64 bits", [](Line& l) { l.pid = "99999999999999999999999"; }, kMismatch},
      {"pid beyond 64 bits negative", [](Line& l) { l.pid = "-99999999999999999999999"; }, kMismatch},
      {"window -1", [](Line& l) { l.windowID = "-1"; }, kMismatch},
      {"window one beyond UInt32", [](Line& l) { l.windowID = "4294967296"; }, kMismatch},
      {"window largest UInt32", [](Line& l) { l.windowID = "4294967295"; }, kOk},
      {"window as a string", [](Line& l) { l.windowID = R"("7")"; }, kMismatch},
      {"window negative zero", [](Line& l) { l.windowID = "-0"; }, kOk},
      {"frontmost as a number", [](Line& l) { l.frontmostRequired = "1"; }, kMismatch},
      {"frontmost null", [](Line& l) { l.frontmostRequired = "null"; }, kMismatch},
      {"bundle id as a number", [](Line& l) { l.bundleID = "1"; }, kMismatch},
      {"protocol as a number", [](Line& l) { l.protocol = "2"; }, kMismatch},
      {"request id null", [](Line& l) { l.requestID = "null"; }, kMismatch},
      {"nonce as an array", [](Line& l) { l.nonce = "[]"; }, kMismatch},
      {"operation parse", [](Line& l) { l.operation = R"("parse")"; }, kMismatch},
      {"operation in another case", [](Line& l) { l.operation = R"("Key")"; }, kMismatch},
      {"operation null", [](Line& l) { l.operation = "null"; }, kMismatch},
      {"unknown key", [](Line& l) { l.params = R"({"key":"A"})"; }, kMismatch},
      {"key as a number", [](Line& l) { l.params = R"({"key":1})"; }, kMismatch},
      {"modifiers as a string", [](Line& l) {
         l.operation = R"("hotkey")"; l.params = R"({"key":"a","modifiers":"command"})"; }, kMismatch},
      {"unknown modifier", [](Line& l) {
         l.operation = R"("hotkey")"; l.params = R"({"key":"a","modifiers":["Command"]})"; }, kMismatch},
      {"null modifier", [](Line& l) {
         l.operation = R"("hotkey")"; l.params = R"({"key":"a","modifiers":[null]})"; }, kMismatch},
      {"decoding comes before the protocol test", [](Line& l) {
         l.protocol = R"("v1")"; l.pid = "true"; }, kMismatch},
  });
}

TEST(ProtocolParser, FieldRulesInOrder) {
  expectOutcomes({
      {"protocol v1", [](Line& l) { l.protocol = R"("zor-vane.pellucor/v1")"; }, kProtocol},
      {"protocol with a trailing space", [](Line& l) { l.protocol = R"("zor-vane.pellucor/v2 ")"; }, kProtocol},
      {"protocol in upper case", [](Line& l) { l.protocol = R"("ZOR-VANE.PELLUCOR/V2")"; }, kProtocol},
      {"protocol with escaped slash", [](Line& l) { l.protocol = R"("zor-vane.pellucor\/v2")"; }, kOk},
      {"protocol before request id", [](Line& l) { l.protocol = R"("x")"; l.requestID = R"("x")"; }, kProtocol},
      {"request id before nonce", [](Line& l) { l.requestID = R"("x")"; l.nonce = R"("x")"; }, kRequestID},
      {"nonce before target", [](Line& l) { l.nonce = R"("x")"; l.pid = "0"; }, kNonce},
      {"target before params", [](Line& l) { l.pid = "0"; l.params = "{}"; }, kTarget},
  });
}

TEST(ProtocolParser, RequestIdentifier) {
  expectOutcomes({
      {"upper case", [](Line& l) { l.requestID = R"("6F1C2A4E-8B3D-4F7A-9C2E-1D5B7A9E3C40")"; }, kOk},
      {"mixed case", [](Line& l) { l.requestID = R"("6f1C2a4E-8b3D-4F7a-Bc2e-1d5B7a9E3c40")"; }, kOk},
      {"variant a", [](Line& l) { l.requestID = R"("6f1c2a4e-8b3d-4f7a-ac2e-1d5b7a9e3c40")"; }, kOk},
      {"variant c", [](Line& l) { l.requestID = R"("6f1c2a4e-8b3d-4f7a-cc2e-1d5b7a9e3c40")"; }, kRequestID},
      {"variant 7", [](Line& l) { l.requestID = R"("6f1c2a4e-8b3d-4f7a-7c2e-1d5b7a9e3c40")"; }, kRequestID},
      {"version 1", [](Line& l) { l.requestID = R"("6f1c2a4e-8b3d-1f7a-9c2e-1d5b7a9e3c40")"; }, kRequestID},
      {"all zero", [](Line& l) { l.requestID = R"("00000000-0000-0000-0000-000000000000")"; }, kRequestID},
      {"braces", [](Line& l) { l.requestID = R"("{6f1c2a4e-8b3d-4f7a-9c2e-1d5b7a9e3c40}")"; }, kRequestID},
      {"urn prefix", [](Line& l) { l.requestID = R"("urn:uuid:6f1c2a4e-8b3d-4f7a-9c2e-1d5b7a9e3c40")"; }, kRequestID},
      {"no hyphens", [](Line& l) { l.requestID = R"("6f1c2a4e8b3d4f7a9c2e1d5b7a9e3c40")"; }, kRequestID},
      {"hyphen moved", [](Line& l) { l.requestID = R"("6f1c2a4-e8b3d-4f7a-9c2e-1d5b7a9e3c40")"; }, kRequestID},
      {"non-hex letter", [](Line& l) { l.requestID = R"("6f1c2a4e-8b3d-4f7a-9c2e-1d5b7a9e3c4g")"; }, kRequestID},
      {"trailing space", [](Line& l) { l.requestID = R"("6f1c2a4e-8b3d-4f7a-9c2e-1d5b7a9e3c40 ")"; }, kRequestID},
      {"full-width digit", [](Line& l) { l.requestID = R"("6f1c2a4e-8b3d-4f7a-9c2e-1d5b7a9e3c4\uff10")"; },
       kRequestID},
      {"empty", [](Line& l) { l.requestID = R"("")"; }, kRequestID},
  });
}

TEST(ProtocolParser, Nonce) {
  expectOutcomes({
      {"43 letters A", [](Line& l) { l.nonce = quoted(std::string(43, 'A')); }, kOk},
      {"URL-safe alphabet", [](Line& l) { l.nonce = R"("abcdefghijklmnopqrstuvwxyz-_0123456789ABCDE")"; }, kOk},
      {"last character F leaves a spare bit set",
       [](Line& l) { l.nonce = R"("abcdefghijklmnopqrstuvwxyz-_0123456789ABCDF")"; }, kNonce},
      {"spare bits set", [](Line& l) { l.nonce = quoted(std::string(42, 'A') + "B"); }, kNonce},
      {"44 characters", [](Line& l) { l.nonce = quoted(std::string(44, 'A')); }, kNonce},
      {"42 characters", [](Line& l) { l.nonce = quoted(std::string(42, 'A')); }, kNonce},
      {"plus", [](Line& l) { l.nonce = quoted(std::string(42, 'A') + "+"); }, kNonce},
      {"equals", [](Line& l) { l.nonce = quoted(std::string(42, 'A') + "="); }, kNonce},
      {"padded 44", [](Line& l) { l.nonce = quoted(std::string(43, 'A') + "="); }, kNonce},
      {"slash", [](Line& l) { l.nonce = quoted(std::string(20, 'A') + "/" + std::string(22, 'A')); }, kNonce},
      {"escaped underscore is still the text", [](Line& l) {
         l.nonce = quoted(std::string(20, 'A') + "\\u005f" + std::string(22, 'A')); }, kOk},
  });
}

TEST(ProtocolParser, TargetBinding) {
  const std::string name255 = quoted(std::string(255, 'n'));
  const std::string name256 = quoted(std::string(256, 'n'));
  expectOutcomes({
      {"pid 0", [](Line& l) { l.pid = "0"; }, kTarget},
      {"pid -1", [](Line& l) { l.pid = "-1"; }, kTarget},
      {"pid negative zero", [](Line& l) { l.pid = "-0"; }, kTarget},
      {"pid 1", [](Line& l) { l.pid = "1"; }, kOk},
      {"frontmost false", [](Line& l) { l.frontmostRequired = "false"; }, kTarget},
      {"surface in title case", [](Line& l) { l.surface = R"("Plugin.Application")"; }, kTarget},
      {"surface with escaped dot", [](Line& l) { l.surface = R"("plugin\u002eapplication")"; }, kOk},
      {"surface with trailing space", [](Line& l) { l.surface = R"("plugin.application ")"; }, kTarget},
      {"application id with upper-case A", [](Line& l) { l.applicationID = R"("0123456789Abcdef01234567")"; },
       kTarget},
      {"application id of 23", [](Line& l) { l.applicationID = R"("0123456789abcdef0123456")"; }, kTarget},
      {"application id of 25", [](Line& l) { l.applicationID = R"("0123456789abcdef012345678")"; }, kTarget},
      {"application id with g", [](Line& l) { l.applicationID = R"("0123456789abcdefg1234567")"; }, kTarget},
      {"bundle id is not examined", [](Line& l) { l.bundleID = R"("\u0001 x")"; }, kOk},
      {"name with leading space", [](Line& l) { l.applicationName = R"(" Example")"; }, kTarget},
      {"name with trailing space", [](Line& l) { l.applicationName = R"("Example ")"; }, kTarget},
      {"name with inner space", [](Line& l) { l.applicationName = R"("An Example")"; }, kOk},
      {"empty name", [](Line& l) { l.applicationName = R"("")"; }, kTarget},
      {"name with a tab", [](Line& l) { l.applicationName = R"("Ex\tample")"; }, kTarget},
      {"name with right-to-left override", [](Line& l) { l.applicationName = R"("Ex\u202eample")"; }, kTarget},
      {"name with left-to-right mark", [](Line& l) { l.applicationName = R"("Ex\u200eample")"; }, kTarget},
      {"name with soft hyphen", [](Line& l) { l.applicationName = R"("Ex\u00adample")"; }, kTarget},
      {"name with zero width space", [](Line& l) { l.applicationName = R"("Ex\u200bample")"; }, kTarget},
      {"name with trailing no-break space", [](Line& l) { l.applicationName = R"("Example\u00a0")"; }, kTarget},
      {"name with inner no-break space", [](Line& l) { l.applicationName = R"("Ex\u00a0ample")"; }, kOk},
      {"name with trailing next line", [](Line& l) { l.applicationName = R"("Example\u0085")"; }, kTarget},
      {"name with leading line separator", [](Line& l) { l.applicationName = R"("\u2028Example")"; }, kTarget},
      {"name with trailing ideographic space", [](Line& l) { l.applicationName = R"("Example\u3000")"; }, kTarget},
      {"name of non-ASCII letters", [](Line& l) { l.applicationName = R"("\u00c9xample \u65e5\u672c")"; }, kOk},
      {"name of 255 bytes", [&](Line& l) { l.applicationName = name255; }, kOk},
      {"name of 256 bytes", [&](Line& l) { l.applicationName = name256; }, kTarget},
      {"name of 254 bytes and a two-byte letter", [](Line& l) {
         l.applicationName = quoted(std::string(254, 'n') + "\xC3\xA9"); }, kTarget},
      {"revision of 256 bytes", [&](Line& l) { l.applicationRevision = name256; }, kOk},
      {"revision of 257 bytes", [](Line& l) { l.applicationRevision = quoted(std::string(257, 'r')); }, kTarget},
      {"revision with a line feed", [](Line& l) { l.applicationRevision = R"("1.0\n")"; }, kTarget},
  });
}

TEST(ProtocolParser, ScannerErrorsPassThrough) {
  expectOutcomes({
      {"duplicate key in the target", [](Line& l) { l.targetExtra = R"(,"pid":502)"; },
       "duplicate_key: duplicate JSON object key"},
      {"fraction", [](Line& l) { l.pid = "501.0"; }, "non_integer: all JSON numbers must be decimal integers"},
      {"trailing data", [](Line& l) { l.envelopeExtra = "} "; }, "invalid_json: trailing JSON data"},
  });
  EXPECT_EQ(outcome(""), "invalid_json: malformed JSON");
  // A carriage return left before the line feed is whitespace to the scanner.
  EXPECT_EQ(outcome(std::string(kExampleLine) + "\r"), kOk);
  EXPECT_EQ(outcome(std::string(kExampleLine) + "\f"), "invalid_json: trailing JSON data");
}

TEST(ProtocolParser, SizeLimitComesBeforeEverything) {
  const std::string line = kExampleLine;
  std::string padded = line + std::string(ProtocolParser::kMaximumRequestBytes - line.size(), ' ');
  ASSERT_EQ(padded.size(), 65536u);
  EXPECT_EQ(outcome(padded), kOk);
  padded += ' ';
  EXPECT_EQ(outcome(padded), kTooLarge);
  EXPECT_EQ(outcome(std::string(65537, '\xFF')), kTooLarge);
  EXPECT_EQ(outcome(std::string(65536, '\xFF')), "invalid_json: request is not UTF-8");
}

}  // namespace
}  // namespace pellucor
