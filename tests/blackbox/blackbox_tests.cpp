// Runs the built pellucor-sim as a host would run the helper, against small
// desktop files, and compares every byte it leaves behind: the response line
// (with its elapsed time set to 0, and a captured PNG checked by its digest and
// its decoded pixels rather than by its compressed bytes), standard error, the
// exit status, the events log, and whether standard input was read at all.
//
// Every case is a patch (RFC 7396 merge patch) over desktops/base.json, a
// production host in front with its plugin window focused and captured, plus
// the tool's arguments and standard input. The cases of one table run side by
// side, so that the few that must wait for real time (the pause of approval
// mode, a deadline) wait together.

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/sha.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "blackbox/sim_process.hpp"
#include "platform/simulated/png_decoder.hpp"

namespace pellucor::blackbox {
namespace {

using Json = nlohmann::json;

const std::string kRequestID = "6f1c2b8e-3d4a-4b5c-9e7f-0a1b2c3d4e5f";
const std::string kNonce = "i_YgZoZv0LYhMVPJaYqWBb_AgLq0fDxmsRLPGaVOy2E";
const std::string kApprovalArgument = "--approval-control=accessibility-and-screen-recording";

// One run and everything expected of it. Built as a chain of calls so that a
// row names only what differs from an ordinary run: the base desktop, the
// standard arguments, empty input, no output, status 0 and no events.
struct Case {
  explicit Case(std::string caseName) : name(std::move(caseName)) {}

  Case& withPatch(std::string mergePatch) {
    patch = std::move(mergePatch);
    return *this;
  }
  Case& withDesktop(std::string text) {
    desktop = std::move(text);
    return *this;
  }
  Case& withArguments(std::vector<std::string> toolArguments) {
    arguments = std::move(toolArguments);
    return *this;
  }
  Case& withInput(std::string text) {
    input = std::move(text);
    return *this;
  }
  Case& expectOutput(std::string text) {
    output = std::move(text);
    return *this;
  }
  Case& expectError(std::string text) {
    error = std::move(text);
    return *this;
  }
  // For the simulated desktop's own wording, which is not ours to fix: one
  // line starting with `text`.
  Case& expectErrorLineStartingWith(std::string text) {
    error = std::move(text);
    errorIsPrefixOfOneLine = true;
    return *this;
  }
  Case& expectStatus(int exitStatus) {
    status = exitStatus;
    return *this;
  }
  Case& expectEvents(std::vector<std::string> lines) {
    events = std::move(lines);
    return *this;
  }
  Case& expectInputRead() {
    inputTouched = true;
    return *this;
  }
  // The PNG in the response must decode to these straight RGBA pixels, rows
  // top to bottom; its Base64 and digest then stand as "<png>" and
  // "<sha256>" in the expected output, since any faithful encoding will do.
  Case& expectPng(std::int64_t width, std::int64_t height, std::vector<std::uint8_t> rgba) {
    png = simulated::StraightImage{width, height, std::move(rgba)};
    return *this;
  }
  // The tool starts with this standard descriptor closed.
  Case& withClosedDescriptor(int fd) {
    closedDescriptors.push_back(fd);
    return *this;
  }
  Case& expectInputUntouched() {
    inputTouched = false;
    return *this;
  }

  std::string name;
  std::string patch = "{}";            // merged into the base desktop
  std::optional<std::string> desktop;  // the desktop file's text as is, instead of a patched base
  std::vector<std::string> arguments = {"--desktop", "{desktop}", "--events", "{events}"};
  std::string input;
  std::string output;
  std::string error;
  bool errorIsPrefixOfOneLine = false;
  int status = 0;
  std::vector<std::string> events;
  std::optional<bool> inputTouched;  // nothing: not checked
  std::optional<simulated::StraightImage> png;
  std::vector<int> closedDescriptors;
};

std::string baseDesktop() {
  std::ifstream file(std::string(PELLUCOR_BLACKBOX_DESKTOPS) + "/base.json");
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string desktopOf(const Case& c) {
  if (c.desktop) return *c.desktop;
  Json desktop = Json::parse(baseDesktop());
  desktop.merge_patch(Json::parse(c.patch));
  return desktop.dump();
}

// A request line for the plugin window of the base desktop, in process `pid`.
// `windowID` empty: the request names no window.
std::string request(const std::string& operation, const std::string& params = "{}", const std::string& windowID = "",
                    const std::string& pid = "501") {
  return R"({"protocol":"zor-vane.pellucor/v2","request_id":")" + kRequestID + R"(","nonce":")" + kNonce +
         R"(","operation":")" + operation + R"(","target":{"pid":)" + pid +
         R"(,"bundle_id":"com.brevant.zorvane","frontmost_required":true,)" +
         (windowID.empty() ? "" : R"("window_id":)" + windowID + ",") +
         R"("surface":"plugin.application","application_id":"0123456789abcdef01234567",)"
         R"("application_name":"Example","application_revision":"1.0"},"params":)" +
         params + "}\n";
}

const std::string kObserved =
    R"({"application_id":"0123456789abcdef01234567","application_name":"Example","application_revision":"1.0",)"
    R"("bundle_id":"com.brevant.zorvane","pid":501,"surface":"plugin.application"})";
const std::string kObservedWindow42 =
    R"({"application_id":"0123456789abcdef01234567","application_name":"Example","application_revision":"1.0",)"
    R"("bundle_id":"com.brevant.zorvane","pid":501,"surface":"plugin.application","window_id":42})";

std::string success(const std::string& operation, const std::string& result, const std::string& target) {
  return R"({"duration_ms":0,"nonce":")" + kNonce + R"(","ok":true,"operation":")" + operation +
         R"(","protocol":"zor-vane.pellucor/v2","request_id":")" + kRequestID + R"(","result":)" + result +
         R"(,"target":)" + target + "}\n";
}

std::string refusal(const std::string& operation, const std::string& code, const std::string& message) {
  return R"({"duration_ms":0,"error":{"code":")" + code + R"(","message":")" + message +
         R"(","retryable":false},"nonce":")" + kNonce + R"(","ok":false,"operation":")" + operation +
         R"(","protocol":"zor-vane.pellucor/v2","request_id":")" + kRequestID + "\"}\n";
}

// The answer to a request that never got past intake.
std::string fallback(const std::string& code, const std::string& message) {
  return R"({"duration_ms":0,"error":{"code":")" + code + R"(","message":")" + message +
         R"(","retryable":false},"nonce":"","ok":false,"operation":"parse","protocol":"zor-vane.pellucor/v2",)"
         R"("request_id":"00000000-0000-4000-8000-000000000000"})"
         "\n";
}

std::string approvalLines(bool trusted, const std::string& windowID) {
  return std::string("accessibility_prompt_requested_once=true\naccessibility_status_advisory=") +
         (trusted ? "true" : "false") + "\nscreencapturekit_exact_window_id=" + windowID +
         "\npermission_success_claimed=false\nfull_quit_and_relaunch_required=true\n";
}

std::vector<std::string> withApproval(std::vector<std::string> arguments) {
  arguments.push_back(kApprovalArgument);
  return arguments;
}
const std::vector<std::string> kApprovalMode = withApproval({"--desktop", "{desktop}", "--events", "{events}"});

// The host's plugin window on screen, as the base desktop has it, with the
// members of `overrides` (a JSON object) put in their place.
std::string hostWindow(const std::string& overrides = "{}") {
  Json window =
      Json::parse(R"({"window_id":42,"owner":{"pid":501,"bundle_id":"com.brevant.zorvane"},"title":"Zorvane",)"
                  R"("frame":[100,50,4,3],"image":{"fill":[240,240,240,255]}})");
  window.merge_patch(Json::parse(overrides));
  return window.dump();
}
std::string screenPatch(const std::string& windows) { return R"({"screen":{"windows":[)" + windows + "]}}"; }

// The focused window of the base desktop, with another title and frame.
std::string focusedWindow(const std::string& title, const std::string& size) {
  return R"({"attributes":{"AXTitle":")" + title + R"(","AXPosition":{"point":[100,50]},"AXSize":{"size":)" + size +
         R"(}},"children":[{"attributes":{"AXIdentifier":"plugin-application-browser-root","AXDescription":)"
         R"("plugin.application application_id=0123456789abcdef01234567 application_name=Example )"
         R"(application_revision=1.0"}}]})";
}

const std::string kOtherAppInFront = R"({"frontmost":{"pid":777,"bundle_id":"com.example.editor","name":"Editor"}})";
const std::string kHelperSignatureBroken = R"({"codes":{"helper":{"valid":false}}})";
const std::string kScreenRecordingDeclined =
    R"({"screen":{"error":"The user declined TCCs for application, window, display capture"}})";

std::string normalisedDuration(const std::string& output) {
  static const std::regex kDuration(R"("duration_ms":[0-9]+)");
  return std::regex_replace(output, kDuration, R"("duration_ms":0)");
}

std::string sha256Hex(const std::vector<std::uint8_t>& bytes) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(bytes.data(), bytes.size(), digest);
  std::string hex;
  for (const unsigned char byte : digest) {
    constexpr char kDigits[] = "0123456789abcdef";
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return hex;
}

std::vector<std::uint8_t> decodeBase64(const std::string& text) {
  std::vector<std::uint8_t> bytes(text.size() / 4 * 3);
  const int length =
      EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
  if (length < 0) return {};
  std::size_t padding = 0;
  for (auto it = text.rbegin(); it != text.rend() && *it == '='; ++it) ++padding;
  bytes.resize(static_cast<std::size_t>(length) - padding);
  return bytes;
}

// Checks the PNG of a capture response against `expected` (its digest, and
// its pixels decoded by an independent decoder) and puts placeholders in the
// place of its Base64 and digest.
std::string checkedPng(const std::string& output, const std::optional<simulated::StraightImage>& expected) {
  static const std::regex kPng(R"re("png_base64":"([^"]*)","png_sha256":"([0-9a-f]*)")re");
  std::smatch found;
  if (!std::regex_search(output, found, kPng)) return output;
  if (!expected) {
    ADD_FAILURE() << "a PNG that the case does not expect";
    return output;
  }
  const std::vector<std::uint8_t> png = decodeBase64(found[1].str());
  EXPECT_EQ(sha256Hex(png), found[2].str()) << "png_sha256 is not the digest of the PNG";
  try {
    const simulated::StraightImage image = simulated::decodePng(png, 8192, 8192 * 8192);
    EXPECT_EQ(image.width, expected->width);
    EXPECT_EQ(image.height, expected->height);
    EXPECT_EQ(image.rgba, expected->rgba);
  } catch (const simulated::PngDecodeError& error) {
    ADD_FAILURE() << "the PNG does not decode: " << error.what();
  }
  return found.prefix().str() + R"("png_base64":"<png>","png_sha256":"<sha256>")" + found.suffix().str();
}

void runTable(const std::vector<Case>& cases) {
  std::vector<std::unique_ptr<SimProcess>> runs;
  for (const Case& c : cases) {
    runs.push_back(std::make_unique<SimProcess>(PELLUCOR_SIM_PATH, c.arguments, desktopOf(c), c.input,
                                                c.closedDescriptors));
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    const SimOutcome outcome = runs[i]->finish();
    EXPECT_EQ(checkedPng(normalisedDuration(outcome.standardOutput), c.png), c.output);
    if (c.errorIsPrefixOfOneLine) {
      EXPECT_EQ(outcome.standardError.rfind(c.error, 0), 0u) << outcome.standardError;
      EXPECT_EQ(outcome.standardError.find('\n'), outcome.standardError.size() - 1) << outcome.standardError;
    } else {
      EXPECT_EQ(outcome.standardError, c.error);
    }
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.events, c.events);
    if (c.inputTouched) {
      EXPECT_EQ(outcome.inputTouched, *c.inputTouched);
    }
  }
}

const std::string kObserveTree =
    R"({"preflight_trusted":true,"tree":{"children":[{"description":"plugin.application )"
    R"(application_id=0123456789abcdef01234567 application_name=Example application_revision=1.0",)"
    R"("identifier":"plugin-application-browser-root","role":"AXGroup"}],"position":{"x":100,"y":50},)"
    R"("role":"AXWindow","size":{"height":3,"width":4},"title":"Zorvane"}})";

const std::string kCaptureResult =
    R"({"height":3,"png_base64":"<png>","png_sha256":"<sha256>","width":4,"window_id":42})";

// The base desktop's window as captured: light grey with a red bar of two
// pixels in the middle row.
std::vector<std::uint8_t> baseWindowPixels() {
  std::vector<std::uint8_t> rgba;
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      const bool bar = y == 1 && (x == 1 || x == 2);
      rgba.insert(rgba.end(), {static_cast<std::uint8_t>(bar ? 200 : 240), static_cast<std::uint8_t>(bar ? 30 : 240),
                               static_cast<std::uint8_t>(bar ? 30 : 240), 255});
    }
  }
  return rgba;
}

const std::string kCaptureEvent =
    R"({"capture_resolution":"best","event":"capture","height":3,"pixel_format":"BGRA","shows_cursor":false,)"
    R"("width":4,"window_id":42})";

TEST(BlackBoxTest, EveryOperationSucceedsOnTheVerifiedTarget) {
  runTable({
      Case("observe_ax returns the focused window's tree")
          .withInput(request("observe_ax"))
          .expectOutput(success("observe_ax", kObserveTree, kObserved))
          .expectInputRead(),
      Case("enumerate_target_windows returns the focused window alone")
          .withPatch(R"({"screen":{"windows":[)" + hostWindow() +
                     R"(,{"window_id":77,"owner":{"pid":501,"bundle_id":"com.brevant.zorvane"},"title":"Zorvane",)"
                     R"("frame":[600,400,300,200]}]}})")
          .withInput(request("enumerate_target_windows"))
          .expectOutput(success("enumerate_target_windows",
                                R"([{"height":3,"legacy_sharing_state":1,"on_screen":true,"title":"Zorvane","width":4,)"
                                R"("window_id":42}])",
                                kObservedWindow42)),
      Case("enumerate_target_windows without a legacy entry")
          .withPatch(R"({"legacy_window_list":null})")
          .withInput(request("enumerate_target_windows", "{}", "42"))
          .expectOutput(success("enumerate_target_windows",
                                R"([{"height":3,"legacy_sharing_state":null,"on_screen":true,"title":"Zorvane",)"
                                R"("width":4,"window_id":42}])",
                                kObservedWindow42)),
      Case("capture_target_window returns the PNG of exactly the window")
          .withInput(request("capture_target_window", "{}", "42"))
          .expectOutput(success("capture_target_window", kCaptureResult, kObservedWindow42))
          .expectPng(4, 3, baseWindowPixels())
          .expectEvents({kCaptureEvent}),
      Case("key posts one press without flags")
          .withInput(request("key", R"({"key":"a"})"))
          .expectOutput(success("key", R"({"posted":true})", kObserved))
          .expectEvents(
              {R"({"event":"key_down","flags":0,"key_code":0})", R"({"event":"key_up","flags":0,"key_code":0})"}),
      Case("hotkey carries its modifiers as flags on both events")
          .withInput(request("hotkey", R"({"key":"s","modifiers":["command","shift"]})"))
          .expectOutput(success("hotkey", R"({"posted":true})", kObserved))
          .expectEvents({R"({"event":"key_down","flags":1179648,"key_code":1})",
                         R"({"event":"key_up","flags":1179648,"key_code":1})"}),
      Case("development host")
          .withPatch(
              R"({"helper":{"bundle_path":"/Applications/Zorvane Dev.app/Contents/Helpers/Zorvane Pellucor Dev.app",)"
              R"("executable_path":"/Applications/Zorvane Dev.app/Contents/Helpers/Zorvane Pellucor Dev.app/Contents/MacOS/Zorvane Pellucor Dev",)"
              R"("bundle_id":"com.brevant.zorvane.dev.pellucor","info":{"CFBundleDisplayName":"Zorvane Pellucor Dev"}},)"
              R"("bundles":{"/Applications/Zorvane.app":null,"/Applications/Zorvane Dev.app":"com.brevant.zorvane.dev"},)"
              R"("processes":{"501":{"path":"/Applications/Zorvane Dev.app/Contents/MacOS/Zorvane Dev"}},)"
              R"("codes":{"helper":{"info":{"identifier":"com.brevant.zorvane.dev.pellucor"}},)"
              R"("host":{"info":{"identifier":"com.brevant.zorvane.dev"}}},)"
              R"("frontmost":{"bundle_id":"com.brevant.zorvane.dev","name":"Zorvane Dev"},)"
              R"("focused_windows":{"501":{"attributes":{"AXTitle":"Zorvane Dev"}}}})")
          .withInput(R"({"protocol":"zor-vane.pellucor/v2","request_id":")" + kRequestID + R"(","nonce":")" + kNonce +
                     R"(","operation":"key","target":{"pid":501,"bundle_id":"com.brevant.zorvane.dev",)"
                     R"("frontmost_required":true,"surface":"plugin.application",)"
                     R"("application_id":"0123456789abcdef01234567","application_name":"Example",)"
                     R"("application_revision":"1.0"},"params":{"key":"return"}})"
                     "\n")
          .expectOutput(
              R"({"duration_ms":0,"nonce":")" + kNonce +
              R"(","ok":true,"operation":"key","protocol":"zor-vane.pellucor/v2","request_id":")" + kRequestID +
              R"(","result":{"posted":true},"target":{"application_id":"0123456789abcdef01234567",)"
              R"("application_name":"Example","application_revision":"1.0","bundle_id":"com.brevant.zorvane.dev",)"
              R"("pid":501,"surface":"plugin.application"}})"
              "\n")
          .expectEvents(
              {R"({"event":"key_down","flags":0,"key_code":36})", R"({"event":"key_up","flags":0,"key_code":36})"}),
  });
}

TEST(BlackBoxTest, TargetValidationRefusesEveryOtherPicture) {
  runTable({
      Case("another application in front")
          .withPatch(kOtherAppInFront)
          .withInput(request("observe_ax"))
          .expectOutput(refusal("observe_ax", "wrong_frontmost", "target is not the exact frontmost Zorvane process"))
          .expectStatus(64),
      Case("no application in front")
          .withPatch(R"({"frontmost":null})")
          .withInput(request("enumerate_target_windows"))
          .expectOutput(refusal("enumerate_target_windows", "wrong_frontmost",
                                "target is not the exact frontmost Zorvane process"))
          .expectStatus(64),
      Case("host in front under the development name")
          .withPatch(R"({"frontmost":{"name":"Zorvane Dev"}})")
          .withInput(request("observe_ax"))
          .expectOutput(refusal("observe_ax", "wrong_product", "target release product name differs"))
          .expectStatus(64),
      Case("focused window titled with a document")
          .withPatch(R"({"focused_windows":{"501":{"attributes":{"AXTitle":"Report.zvn"}}}})")
          .withInput(request("observe_ax"))
          .expectOutput(
              refusal("observe_ax", "wrong_window_title", "focused AX window title differs from the release product"))
          .expectStatus(64),
      Case("marker of another plugin application")
          .withPatch(
              R"({"focused_windows":{"501":{"children":[{"attributes":{"AXIdentifier":)"
              R"("plugin-application-browser-root","AXDescription":"plugin.application )"
              R"(application_id=0123456789abcdef01234567 application_name=Other application_revision=1.0"}}]}}})")
          .withInput(request("observe_ax"))
          .expectOutput(refusal("observe_ax", "marker_mismatch",
                                "focused window does not contain the exact Plugin application marker"))
          .expectStatus(64),
      Case("accessibility refused")
          .withPatch(R"({"focused_windows":{"501":{"attributes":null,"children":null,"error":-25211}}})")
          .withInput(request("observe_ax"))
          .expectOutput(refusal("observe_ax", "ax_focused_read_failed", "real focused AX read failed with code -25211"))
          .expectStatus(64),
      Case("helper signature broken")
          .withPatch(kHelperSignatureBroken)
          .withInput(request("observe_ax"))
          .expectOutput(refusal("observe_ax", "invalid_signature",
                                "helper or ancestor signature does not satisfy the channel identity"))
          .expectStatus(64),
      Case("identity check outlasting the key budget")
          .withPatch(R"({"delays_ms":{"guest_code":1100}})")
          .withInput(request("key", R"({"key":"a"})"))
          .expectOutput(refusal("key", "operation_timeout", "operation exceeded its monotonic deadline"))
          .expectStatus(64),
  });
}

// Process 666 in front claims every text of the host: its bundle identifier
// and name, its focused window's title and marker, and its one window on
// screen. It runs from /Users/mallory/Zorvane.app, its code signed as `code`
// says; the genuine host, process 501, started the helper.
std::string impostorInFront(const std::string& code) {
  return R"({"processes":{"666":{"path":"/Users/mallory/Zorvane.app/Contents/MacOS/Zorvane","parent_pid":1,)"
         R"("code":"impostor"}},"codes":{"impostor":)" +
         code + R"(},"frontmost":{"pid":666},"focused_windows":{"666":)" + focusedWindow("Zorvane", "[4,3]") +
         R"(},"screen":{"windows":[)" + hostWindow(R"({"owner":{"pid":666}})") + "]}}";
}
const std::string kUnsigned = R"({"valid":false,"info":null})";
const std::string kSignedByAnotherTeam = R"({"info":{"identifier":"com.brevant.zorvane","team":"MALLORY999"}})";
const std::string kSignedByTheTeamAsAnotherTool =
    R"({"info":{"identifier":"com.brevant.zorvane.tool","team":"TEAM123456"}})";

TEST(BlackBoxTest, AnImpostorOfTheHostInFrontGetsNothing) {
  const std::string notSigned = "frontmost application is not signed as the host";
  runTable({
      Case("unsigned impostor: observe_ax refused")
          .withPatch(impostorInFront(kUnsigned))
          .withInput(request("observe_ax", "{}", "", "666"))
          .expectOutput(refusal("observe_ax", "wrong_frontmost", notSigned))
          .expectStatus(64),
      Case("impostor signed by another team: nothing posted")
          .withPatch(impostorInFront(kSignedByAnotherTeam))
          .withInput(request("key", R"({"key":"a"})", "", "666"))
          .expectOutput(refusal("key", "wrong_frontmost", notSigned))
          .expectStatus(64),
      Case("impostor signed by the team as another tool: nothing captured")
          .withPatch(impostorInFront(kSignedByTheTeamAsAnotherTool))
          .withInput(request("capture_target_window", "{}", "42", "666"))
          .expectOutput(refusal("capture_target_window", "wrong_frontmost", notSigned))
          .expectStatus(64),
      Case("unsigned impostor: approval mode captures nothing")
          .withPatch(impostorInFront(kUnsigned))
          .withArguments(kApprovalMode)
          .expectError("approval_failed=approval_target_invalid\n")
          .expectStatus(64)
          .expectEvents({R"({"event":"trust_prompt"})"}),
      Case("a second process of the genuine host is served")
          .withPatch(impostorInFront(R"({"info":{"identifier":"com.brevant.zorvane","team":"TEAM123456"}})"))
          .withInput(request("key", R"({"key":"a"})", "", "666"))
          .expectOutput(success("key", R"({"posted":true})", std::regex_replace(kObserved, std::regex("501"), "666")))
          .expectEvents(
              {R"({"event":"key_down","flags":0,"key_code":0})", R"({"event":"key_up","flags":0,"key_code":0})"}),
  });
}

TEST(BlackBoxTest, WindowOperationsRefuseAnythingButTheOneFocusedWindow) {
  const std::string notUnique =
      "focused Plugin application AX window does not uniquely match one ScreenCaptureKit window";
  runTable({
      Case("no window on screen")
          .withPatch(screenPatch(""))
          .withInput(request("enumerate_target_windows"))
          .expectOutput(refusal("enumerate_target_windows", "focused_window_not_found", notUnique))
          .expectStatus(64),
      Case("two windows match the focused one")
          .withPatch(screenPatch(hostWindow() + "," + hostWindow(R"({"title":"Zorvane","window_id":43})")))
          .withInput(request("capture_target_window", "{}", "42"))
          .expectOutput(refusal("capture_target_window", "focused_window_ambiguous", notUnique))
          .expectStatus(64),
      Case("request names another window")
          .withInput(request("enumerate_target_windows", "{}", "43"))
          .expectOutput(refusal("enumerate_target_windows", "focused_window_id_mismatch",
                                "requested window_id differs from the verified focused Plugin application window"))
          .expectStatus(64),
      Case("screen recording declined")
          .withPatch(kScreenRecordingDeclined)
          .withInput(request("enumerate_target_windows"))
          .expectOutput(refusal("enumerate_target_windows", "operation_failed", "native operation failed closed"))
          .expectStatus(64),
      Case("black frame")
          .withPatch(screenPatch(hostWindow(R"({"image":{"fill":[2,2,2,255]}})")))
          .withInput(request("capture_target_window", "{}", "42"))
          .expectOutput(refusal("capture_target_window", "empty_or_black_frame",
                                "exact-window capture returned empty or black pixels"))
          .expectStatus(64)
          .expectEvents({kCaptureEvent}),
      Case("window narrower than a point")
          .withPatch(R"({"focused_windows":{"501":{"attributes":{"AXSize":{"size":[0.5,3]}}}},)"
                     R"("screen":{"windows":[)" +
                     hostWindow(R"({"frame":[100,50,0.5,3]})") + "]}}")
          .withInput(request("capture_target_window", "{}", "42"))
          .expectOutput(
              refusal("capture_target_window", "invalid_frame_size", "target frame dimensions are outside bounds"))
          .expectStatus(64),
      Case("window without a platform handle")
          .withPatch(screenPatch(hostWindow(R"({"handle":false})")))
          .withInput(request("capture_target_window", "{}", "42"))
          .expectOutput(refusal("capture_target_window", "window_handle_missing",
                                "verified ScreenCaptureKit window handle is absent"))
          .expectStatus(64),
      Case("capture refused by the platform")
          .withPatch(screenPatch(hostWindow(R"({"capture_error":"stream failed"})")))
          .withInput(request("capture_target_window", "{}", "42"))
          .expectOutput(refusal("capture_target_window", "operation_failed", "native operation failed closed"))
          .expectStatus(64)
          .expectEvents({kCaptureEvent}),
      Case("focus moves to another host window before the capture")
          .withPatch(R"({"focused_windows":{"501":[)" + focusedWindow("Zorvane", "[4,3]") + "," +
                     focusedWindow("Zorvane", "[300,200]") + R"(]},"screen":{"windows":[)" + hostWindow() + "," +
                     hostWindow(R"({"frame":[100,50,300,200],"window_id":43})") + "]}}")
          .withInput(request("capture_target_window", "{}", "42"))
          .expectOutput(refusal("capture_target_window", "focused_window_changed",
                                "focused Plugin application window identity changed before capture"))
          .expectStatus(64),
  });
}

TEST(BlackBoxTest, KeyPressesAreReleasedWhateverHappensWhileDown) {
  runTable({
      Case("another application in front: nothing posted")
          .withPatch(kOtherAppInFront)
          .withInput(request("key", R"({"key":"a"})"))
          .expectOutput(refusal("key", "wrong_frontmost", "target is not the exact frontmost Zorvane process"))
          .expectStatus(64),
      Case("events cannot be created: nothing posted")
          .withPatch(R"({"keyboard":{"event_creation":false}})")
          .withInput(request("hotkey", R"({"key":"z","modifiers":[]})"))
          .expectOutput(refusal("hotkey", "event_creation_failed", "paired physical key events could not be created"))
          .expectStatus(64),
      Case("target leaves the front while the key is down")
          .withPatch(R"({"frontmost":[{"pid":501,"bundle_id":"com.brevant.zorvane","name":"Zorvane"},)"
                     R"({"pid":777,"bundle_id":"com.example.editor","name":"Editor"}]})")
          .withInput(request("hotkey", R"({"key":"delete","modifiers":["option"]})"))
          .expectOutput(refusal("hotkey", "input_partial_target_changed",
                                "target changed or timed out after key-down; cleanup release was forced"))
          .expectStatus(64)
          .expectEvents({R"({"event":"key_down","flags":524288,"key_code":51})",
                         R"({"event":"key_up","flags":524288,"key_code":51})"}),
  });
}

TEST(BlackBoxTest, ApprovalModeCapturesTheHostWindowOnceAndClaimsNothing) {
  const std::string kTrustPrompt = R"({"event":"trust_prompt"})";
  const std::string kApprovalCapture =
      R"({"capture_resolution":"default","event":"capture","height":3,"pixel_format":"default",)"
      R"("shows_cursor":false,"width":4,"window_id":42})";
  runTable({
      Case("trusted host in front")
          .withArguments(kApprovalMode)
          .expectOutput(approvalLines(true, "42"))
          .expectEvents({kTrustPrompt, kApprovalCapture})
          .expectInputUntouched(),
      Case("not yet trusted, largest window number, argument after --")
          .withPatch(R"({"accessibility":{"trusted":true,"prompt_answer":false},"screen":{"windows":[)" +
                     hostWindow(R"({"window_id":4294967295,"frame":[0,25,3000.9,0.6]})") + "]}}")
          .withArguments({"--desktop", "{desktop}", "--events", "{events}", "--", kApprovalArgument})
          .expectOutput(approvalLines(false, "4294967295"))
          .expectEvents({kTrustPrompt,
                         R"({"capture_resolution":"default","event":"capture","height":1,"pixel_format":"default",)"
                         R"("shows_cursor":false,"width":3000,"window_id":4294967295})"}),
      Case("host in front under the other channel's name")
          .withPatch(R"({"frontmost":{"name":"Zorvane Dev"}})")
          .withArguments(kApprovalMode)
          .expectError("approval_failed=approval_target_invalid\n")
          .expectStatus(64)
          .expectEvents({kTrustPrompt}),
      Case("no application in front")
          .withPatch(R"({"frontmost":null})")
          .withArguments(kApprovalMode)
          .expectError("approval_failed=approval_target_invalid\n")
          .expectStatus(64)
          .expectEvents({kTrustPrompt}),
      Case("host window titled with a document")
          .withPatch(screenPatch(hostWindow(R"({"title":"Report.zvn"})")))
          .withArguments(kApprovalMode)
          .expectError("approval_failed=approval_window_ambiguous\n")
          .expectStatus(64)
          .expectEvents({kTrustPrompt}),
      Case("two host windows")
          .withPatch(screenPatch(hostWindow() + "," + hostWindow(R"({"window_id":43})")))
          .withArguments(kApprovalMode)
          .expectError("approval_failed=approval_window_ambiguous\n")
          .expectStatus(64)
          .expectEvents({kTrustPrompt}),
      Case("identity refused: the control never runs")
          .withPatch(kHelperSignatureBroken)
          .withArguments(kApprovalMode)
          .expectError("approval_failed=invalid_signature\n")
          .expectStatus(64)
          .expectInputUntouched(),
      Case("host window without a platform handle")
          .withPatch(screenPatch(hostWindow(R"({"handle":false})")))
          .withArguments(kApprovalMode)
          .expectError("approval_failed=window_handle_missing\n")
          .expectStatus(64)
          .expectEvents({kTrustPrompt}),
      Case("screen recording declined")
          .withPatch(kScreenRecordingDeclined)
          .withArguments(kApprovalMode)
          .expectError("approval_failed=internal_error\n")
          .expectStatus(70)
          .expectEvents({kTrustPrompt}),
  });
}

TEST(BlackBoxTest, EntryRefusesAndFallsBackBeforeAnythingIsDone) {
  const std::vector<std::string> base = {"--desktop", "{desktop}", "--events", "{events}"};
  auto with = [&](std::vector<std::string> extra) {
    std::vector<std::string> arguments = base;
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
  };
  const std::string refused = "invalid compiled invocation\n";
  runTable({
      Case("unknown argument")
          .withArguments(with({"--verbose"}))
          .withInput(request("key", R"({"key":"a"})"))
          .expectError(refused)
          .expectStatus(64)
          .expectInputUntouched(),
      Case("approval argument followed by another")
          .withArguments(with({kApprovalArgument, "x"}))
          .expectError(refused)
          .expectStatus(64)
          .expectInputUntouched(),
      Case("approval argument in other case")
          .withArguments(with({"--approval-control=Accessibility-and-screen-recording"}))
          .expectError(refused)
          .expectStatus(64),
      Case("one empty argument").withArguments(with({""})).expectError(refused).expectStatus(64),
      Case("the tool's own option after --")
          .withArguments(with({"--", "--desktop", "x"}))
          .expectError(refused)
          .expectStatus(64),
      Case("empty standard input")
          .expectOutput(fallback("unterminated_request", "request must end with LF"))
          .expectStatus(64),
      Case("a second, empty line")
          .withInput(request("key", R"({"key":"a"})") + "\n")
          .expectOutput(fallback("multiple_requests", "second request line is forbidden"))
          .expectStatus(64),
      Case("not JSON")
          .withInput("{\"protocol\":\n")
          .expectOutput(fallback("invalid_json", "malformed JSON"))
          .expectStatus(64),
      Case("a member the schema does not know")
          .withInput(request("key", R"({"key":"a","text":"x"})"))
          .expectOutput(fallback("invalid_schema", "unknown or missing field in closed v2 schema"))
          .expectStatus(64),
      Case("request identifier that is not a UUIDv4 is not echoed")
          .withInput(std::regex_replace(request("observe_ax"), std::regex(kRequestID), "not-a-uuid"))
          .expectOutput(fallback("invalid_request_id", "request_id must be UUIDv4"))
          .expectStatus(64),
      Case("capture without a window")
          .withInput(request("capture_target_window"))
          .expectOutput(fallback("invalid_params", "capture requires window_id and empty params"))
          .expectStatus(64),
  });
}

TEST(BlackBoxTest, ToolRefusesUnusableDesktopsWithoutReadingInput) {
  const std::string input = request("key", R"({"key":"a"})");
  runTable({
      Case("no arguments")
          .withArguments({})
          .withInput(input)
          .expectError("pellucor-sim: missing --desktop FILE\n")
          .expectStatus(78)
          .expectInputUntouched(),
      Case("helper arguments only")
          .withArguments({kApprovalArgument})
          .withInput(input)
          .expectError("pellucor-sim: missing --desktop FILE\n")
          .expectStatus(78)
          .expectInputUntouched(),
      Case("--desktop without its file")
          .withArguments({"--events", "{events}", "--desktop"})
          .withInput(input)
          .expectError("pellucor-sim: --desktop needs a file\n")
          .expectStatus(78)
          .expectInputUntouched(),
      Case("--desktop twice")
          .withArguments({"--desktop", "{desktop}", "--desktop", "{desktop}"})
          .withInput(input)
          .expectError("pellucor-sim: --desktop given twice\n")
          .expectStatus(78)
          .expectInputUntouched(),
      Case("desktop file missing")
          .withArguments({"--desktop", "{desktop}.missing"})
          .withInput(input)
          .expectErrorLineStartingWith("pellucor-sim: ")
          .expectStatus(78)
          .expectInputUntouched(),
      Case("desktop file with an unknown member")
          .withDesktop(R"({"frontmost":{"pid":501,"bundle_id":"com.brevant.zorvane","name":"Zorvane"},"windows":[]})")
          .withInput(input)
          .expectErrorLineStartingWith("pellucor-sim: ")
          .expectStatus(78)
          .expectInputUntouched(),
      Case("desktop file that is not JSON")
          .withDesktop("{\"frontmost\":")
          .withInput(input)
          .expectErrorLineStartingWith("pellucor-sim: ")
          .expectStatus(78)
          .expectInputUntouched(),
      Case("events file that cannot be opened")
          .withArguments({"--desktop", "{desktop}", "--events", "{desktop}/events.jsonl"})
          .withInput(input)
          .expectErrorLineStartingWith("pellucor-sim: ")
          .expectStatus(78)
          .expectInputUntouched(),
  });
}

// A standard descriptor the host left closed must not be taken by a file the
// tool opens: the events log would receive the response, or the request would
// be read from it. Whatever the helper writes there is lost; its status and
// its events stay as they are.
TEST(BlackBoxTest, ClosedStandardDescriptorsLeaveTheEventsLogAlone) {
  const std::vector<std::string> keyA = {R"({"event":"key_down","flags":0,"key_code":0})",
                                         R"({"event":"key_up","flags":0,"key_code":0})"};
  runTable({
      Case("standard output closed, key pressed")
          .withClosedDescriptor(1)
          .withInput(request("key", R"({"key":"a"})"))
          .expectEvents(keyA),
      Case("standard output closed, request refused")
          .withClosedDescriptor(1)
          .withPatch(kOtherAppInFront)
          .withInput(request("key", R"({"key":"a"})"))
          .expectStatus(64),
      Case("standard error closed, invocation refused")
          .withClosedDescriptor(2)
          .withArguments({"--desktop", "{desktop}", "--events", "{events}", "--verbose"})
          .expectStatus(64),
      Case("standard input closed: nothing to read")
          .withClosedDescriptor(0)
          .expectOutput(fallback("unterminated_request", "request must end with LF"))
          .expectStatus(64),
  });
}

}  // namespace
}  // namespace pellucor::blackbox
