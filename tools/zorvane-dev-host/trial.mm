// The trial: every operation of the embedded helper run for real against this
// host's own window through the client library, each answer checked as a
// host must and then against what only the real desktop can show, plus the
// refusals that need no set-up. One PASS or FAIL line per check, the timings
// of every run, and "N passed, M failed" at the end.
//
// Everything here runs on one background queue. What touches the window runs
// on the main thread through onMain, which also keeps the main thread free to
// serve the helper's accessibility requests: macOS answers them on the
// target application's main thread.

#import "trial.h"

#import <ImageIO/ImageIO.h>

#include <dispatch/dispatch.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "client/helper_client.hpp"

namespace zorvane_dev {
namespace {

using namespace pellucor;
using namespace pellucor::client;
using std::chrono::milliseconds;

constexpr const char* kHelperBundle = "Zorvane Pellucor Dev.app";
constexpr const char* kHelperExecutable = "Contents/MacOS/pellucor";
constexpr const char* kReportName = "trial-report.txt";
constexpr const char* kCaptureName = "trial-capture.png";

// The virtual key codes of the keys the trial posts (ANSI positions).
constexpr unsigned short kKeyCodeA = 0x00;
constexpr unsigned short kKeyCodeB = 0x0B;

// Runs `work` on the main thread and waits for its result.
template <typename Work>
auto onMain(Work work) -> decltype(work()) {
  Work* workPointer = &work;
  if constexpr (std::is_void_v<decltype(work())>) {
    dispatch_sync(dispatch_get_main_queue(), ^{
      (*workPointer)();
    });
  } else {
    std::optional<decltype(work())> result;
    auto* resultPointer = &result;
    dispatch_sync(dispatch_get_main_queue(), ^{
      resultPointer->emplace((*workPointer)());
    });
    return std::move(*result);
  }
}

// Asks `condition` on the main thread every 100 ms until it holds or `limit`
// has passed; the last answer.
template <typename Condition>
bool waitOnMain(Condition condition, milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (onMain(condition)) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(milliseconds(100));
  }
}

std::string printable(std::string_view text) {
  std::string out;
  for (const char c : text.substr(0, 300)) out.push_back(c == '\n' ? '|' : c);
  return out;
}

// The report: on standard output and in the report file, line by line, so
// that a run that ends early leaves what it found.
class Report {
 public:
  explicit Report(const std::string& path) : file_(path) {}

  void line(const std::string& text) {
    std::cout << text << "\n" << std::flush;
    file_ << text << "\n" << std::flush;
  }

  void check(bool passed, const std::string& name, const std::string& detail) {
    (passed ? passed_ : failed_) += 1;
    line(std::string(passed ? "PASS " : "FAIL ") + name + (detail.empty() ? "" : ": " + detail));
  }

  void note(const std::string& text) { line("    " + text); }

  void timing(const std::string& label, const CallResult& result) {
    Timing timing;
    timing.label = label;
    timing.outcome = std::string(outcomeName(result.outcome));
    if (result.response && result.response->error) timing.outcome += " " + result.response->error->code;
    if (result.response) timing.durationMS = result.response->durationMS;
    timing.wallMS = result.run.elapsed.count();
    timings_.push_back(timing);
  }

  // The timings and the verdict, last; the exit status.
  int finish() {
    line("");
    line("timings (duration_ms: the helper's own measure, from before its identity check to its answer;");
    line("wall: the whole run as this host saw it, from starting the helper to reaping it):");
    for (const Timing& timing : timings_) {
      char text[256];
      std::snprintf(text, sizeof text, "  %-44s %-40s duration_ms %6s  wall %6lld ms", timing.label.c_str(),
                    timing.outcome.c_str(),
                    timing.durationMS ? std::to_string(*timing.durationMS).c_str() : "-",
                    static_cast<long long>(timing.wallMS));
      line(text);
    }
    line("");
    line(std::to_string(passed_) + " passed, " + std::to_string(failed_) + " failed");
    return failed_ == 0 ? 0 : 1;
  }

 private:
  struct Timing {
    std::string label;
    std::string outcome;
    std::optional<std::int64_t> durationMS;
    std::int64_t wallMS = 0;
  };
  std::ofstream file_;
  int passed_ = 0;
  int failed_ = 0;
  std::vector<Timing> timings_;
};

std::string errorCode(const CallResult& result) {
  return result.response && result.response->error ? result.response->error->code : std::string();
}

// How a run ended, in one phrase: the outcome, the helper's error or the
// client's detail, and what the helper wrote on standard error.
std::string describe(const CallResult& result) {
  std::string text(outcomeName(result.outcome));
  if (result.response && result.response->error) {
    text += " " + result.response->error->code + " \"" + result.response->error->message + "\"";
  } else if (result.outcome == Outcome::approvalRefused) {
    text += " approval_failed=" + result.approvalFailureCode;
  } else if (!result.detail.empty()) {
    text += " (" + result.detail + ")";
  }
  if (result.outcome != Outcome::approvalRefused && !result.run.standardError.empty()) {
    text += "; standard error \"" + printable(result.run.standardError) + "\"";
  }
  if (result.response) text += "; duration_ms " + std::to_string(result.response->durationMS);
  text += "; wall " + std::to_string(result.run.elapsed.count()) + " ms";
  return text;
}

// What a refusal means when a permission is missing, as the documentation
// lists it; empty for any other refusal.
std::string permissionMeaning(const CallResult& result) {
  const std::string code = errorCode(result);
  const std::string disabled = "failed with code -25211";
  if (code == "ax_focused_read_failed" && result.response->error->message.ends_with(disabled)) {
    return " -- the documented refusal when Accessibility is not granted to Zorvane Dev";
  }
  if (code == "operation_failed" && result.request &&
      (result.request->operation == PellucorOperation::enumerateTargetWindows ||
       result.request->operation == PellucorOperation::captureTargetWindow)) {
    return " -- the documented refusal when Screen Recording is not granted to Zorvane Dev";
  }
  if (result.outcome == Outcome::approvalRefused && result.approvalFailureCode == "internal_error") {
    return " -- the documented approval failure when ScreenCaptureKit refuses: Screen Recording is not granted";
  }
  if (result.outcome == Outcome::approvalRefused && result.approvalFailureCode == "approval_target_invalid") {
    return " -- another application (a system permission prompt?) was in front when the helper looked";
  }
  return "";
}

std::string failure(const CallResult& result) { return describe(result) + permissionMeaning(result); }

std::string timed(const CallResult& result) {
  std::string text;
  if (result.response) text += "duration_ms " + std::to_string(result.response->durationMS) + ", ";
  return text + "wall " + std::to_string(result.run.elapsed.count()) + " ms";
}

bool isHelperError(const CallResult& result, std::string_view code) {
  return result.outcome == Outcome::helperError && errorCode(result) == code;
}

bool holdsMarker(const JSONValue& node, const std::string& description) {
  if (!node.isObject()) return false;
  const JSONValue::Object& members = node.asObject();
  const auto identifier = members.find("identifier");
  const auto text = members.find("description");
  if (identifier != members.end() && identifier->second.isString() &&
      identifier->second.asString() == kMarkerIdentifier && text != members.end() && text->second.isString() &&
      text->second.asString() == description) {
    return true;
  }
  const auto children = members.find("children");
  if (children == members.end() || !children->second.isArray()) return false;
  for (const JSONValue& child : children->second.asArray()) {
    if (holdsMarker(child, description)) return true;
  }
  return false;
}

const JSONValue* member(const JSONValue& object, const std::string& name) {
  if (!object.isObject()) return nullptr;
  const auto found = object.asObject().find(name);
  return found == object.asObject().end() ? nullptr : &found->second;
}

// What the trial needs to know of its window, read on the main thread.
struct WindowFacts {
  std::uint32_t windowID = 0;
  NSRect frame = NSZeroRect;    // screen coordinates, points
  NSRect content = NSZeroRect;  // screen coordinates, points
  double scale = 1;
};

WindowFacts windowFacts(ZDHostWindow* host) {
  return onMain([host] {
    WindowFacts facts;
    facts.windowID = static_cast<std::uint32_t>(host.window.windowNumber);
    facts.frame = host.window.frame;
    facts.content = [host.window contentRectForFrameRect:host.window.frame];
    facts.scale = host.window.backingScaleFactor;
    return facts;
  });
}

// Key-down events seen anywhere in the login session so far; it needs no
// permission. Used to show that a refused key request posted nothing, also
// when the key would have gone to another application.
std::uint32_t sessionKeyDowns() {
  return CGEventSourceCounterForEventType(kCGEventSourceStateCombinedSessionState, kCGEventKeyDown);
}

std::string realDirectory(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

class Trial {
 public:
  Trial(ZDHostWindow* host, std::string outputDirectory)
      : host_(host),
        output_(std::move(outputDirectory)),
        report_(output_ + "/" + kReportName),
        helperBundle_(std::string(NSBundle.mainBundle.bundlePath.UTF8String) + "/Contents/Helpers/" + kHelperBundle),
        helper_(helperBundle_ + "/" + kHelperExecutable),
        client_({helper_}, random_) {}

  int run() {
    header();
    const bool front = checkFront();
    if (front) {
      checkObserve();
      checkEnumerate();
      checkCapture();
      checkKey();
      checkHotkey();
      checkWrongTitle();
    }
    checkOutsideCopy();
    checkThroughShell();
    if (front) {
      checkMainThreadWait();
      checkApproval();
    }
    checkKeyWhileHidden();
    return report_.finish();
  }

 private:
  Target target(std::optional<std::uint32_t> windowID = std::nullopt) const {
    Target target;
    target.pid = getpid();
    target.bundleID = kBundleID;
    target.frontmostRequired = true;
    target.windowID = windowID;
    target.surface = kSurface;
    target.applicationID = kApplicationID;
    target.applicationName = kApplicationName;
    target.applicationRevision = kApplicationRevision;
    return target;
  }

  CallResult call(const std::string& label, PellucorOperation operation, std::optional<std::uint32_t> windowID,
                  std::optional<PhysicalKey> key = std::nullopt, const std::vector<KeyModifier>& modifiers = {}) {
    CallResult result = client_.call(operation, target(windowID), key, modifiers);
    report_.timing(label, result);
    return result;
  }

  void header() {
    report_.line("Zorvane Dev trial of the embedded helper");
    report_.line("date: " + std::string(NSDate.date.description.UTF8String));
    report_.line("macOS: " + std::string(NSProcessInfo.processInfo.operatingSystemVersionString.UTF8String));
    report_.line("host: " + std::string(NSBundle.mainBundle.bundlePath.UTF8String) + " (pid " +
                 std::to_string(getpid()) + ")");
    report_.line(getppid() == 1
                     ? "started by launchd (Launch Services): macOS charges the permissions to Zorvane Dev itself"
                     : "started by process " + std::to_string(getppid()) +
                           ", not through Launch Services: macOS charges the permissions to the application that "
                           "started it (a terminal), not to Zorvane Dev");
    report_.line("helper: " + helper_);
    report_.line("report: " + output_ + "/" + kReportName);
    // The host's own view of its permissions; neither call raises a prompt.
    report_.line(std::string("permission Accessibility: ") + (AXIsProcessTrusted() ? "granted" : "not granted"));
    report_.line(std::string("permission Screen Recording: ") +
                 (CGPreflightScreenCaptureAccess() ? "granted" : "not granted"));
    report_.line("");
  }

  bool checkFront() {
    const bool front = waitOnMain(
        [host = host_] {
          NSRunningApplication* app = NSWorkspace.sharedWorkspace.frontmostApplication;
          return app != nil && app.processIdentifier == getpid() && host.window.isKeyWindow;
        },
        milliseconds(10000));
    report_.check(front, "Zorvane Dev is the frontmost application and its window is focused",
                  front ? "" : "it did not come to the front within 10 s; the checks that need it were skipped");
    return front;
  }

  void checkObserve() {
    const std::string name = "observe_ax returns this window's tree, and the tree holds the plugin's marker";
    const CallResult result = call("observe_ax", PellucorOperation::observeAX, std::nullopt);
    if (result.outcome != Outcome::ok) {
      report_.check(false, name, failure(result));
      return;
    }
    const JSONValue* tree = member(*result.response->result, "tree");
    const JSONValue* trusted = member(*result.response->result, "preflight_trusted");
    const bool found = tree != nullptr && holdsMarker(*tree, markerDescription());
    observedOffMain_ = true;
    report_.check(found, name,
                  std::string(found ? "marker found" : "no element with the marker's identifier and description") +
                      ", preflight_trusted " + (trusted && trusted->isBool() && trusted->asBool() ? "true" : "false") +
                      "; " + timed(result));
  }

  void checkEnumerate() {
    const std::string name = "enumerate_target_windows returns this window: its number, title and size";
    const WindowFacts facts = windowFacts(host_);
    const CallResult result = call("enumerate_target_windows", PellucorOperation::enumerateTargetWindows, facts.windowID);
    if (result.outcome != Outcome::ok) {
      report_.check(false, name, failure(result));
      return;
    }
    const JSONValue& windows = *result.response->result;
    const JSONValue* window = windows.isArray() && windows.asArray().size() == 1 ? &windows.asArray()[0] : nullptr;
    const JSONValue* number = window ? member(*window, "window_id") : nullptr;
    const JSONValue* title = window ? member(*window, "title") : nullptr;
    const JSONValue* width = window ? member(*window, "width") : nullptr;
    const JSONValue* height = window ? member(*window, "height") : nullptr;
    const auto expectedWidth = static_cast<std::int64_t>(facts.frame.size.width);
    const auto expectedHeight = static_cast<std::int64_t>(facts.frame.size.height);
    const bool same = number && number->isInteger() && number->asInteger() == facts.windowID && title &&
                      title->isString() && title->asString() == kProductName && width && width->isInteger() &&
                      width->asInteger() == expectedWidth && height && height->isInteger() &&
                      height->asInteger() == expectedHeight;
    report_.check(same, name,
                  "expected window " + std::to_string(facts.windowID) + " \"" + kProductName + "\" " +
                      std::to_string(expectedWidth) + " x " + std::to_string(expectedHeight) +
                      (same ? "" : ", got " + printable(result.run.standardOutput)) + "; " + timed(result));
  }

  void checkCapture() {
    const std::string name = "capture_target_window returns a PNG that looks like this window";
    const WindowFacts facts = windowFacts(host_);
    const CallResult result = call("capture_target_window", PellucorOperation::captureTargetWindow, facts.windowID);
    if (result.outcome != Outcome::ok) {
      report_.check(false, name, failure(result));
      return;
    }
    const std::string pngPath = output_ + "/" + kCaptureName;
    std::ofstream(pngPath, std::ios::binary).write(result.png.data(), static_cast<std::streamsize>(result.png.size()));
    report_.note("PNG written to " + pngPath);

    NSData* data = [NSData dataWithBytes:result.png.data() length:result.png.size()];
    id source = CFBridgingRelease(CGImageSourceCreateWithData((__bridge CFDataRef)data, nullptr));
    id image = source ? CFBridgingRelease(CGImageSourceCreateImageAtIndex((__bridge CGImageSourceRef)source, 0, nullptr))
                      : nil;
    if (image == nil) {
      report_.check(false, name, "ImageIO cannot decode the PNG");
      return;
    }
    NSBitmapImageRep* bitmap = [[NSBitmapImageRep alloc] initWithCGImage:(__bridge CGImageRef)image];
    const double width = static_cast<double>(bitmap.pixelsWide);
    const double height = static_cast<double>(bitmap.pixelsHigh);

    // The image is the window's frame at one pixel per point, or at the
    // display's scale.
    bool sized = false;
    for (const double scale : {1.0, facts.scale}) {
      sized = sized || (std::fabs(width - std::trunc(facts.frame.size.width) * scale) <= 2 &&
                        std::fabs(height - std::trunc(facts.frame.size.height) * scale) <= 2);
    }
    std::string detail = "ImageIO decoded " + std::to_string(bitmap.pixelsWide) + " x " +
                         std::to_string(bitmap.pixelsHigh) + " pixels for a window of " +
                         std::to_string(static_cast<int>(facts.frame.size.width)) + " x " +
                         std::to_string(static_cast<int>(facts.frame.size.height)) + " points (scale " +
                         std::to_string(static_cast<int>(facts.scale)) + ")";
    bool pixels = true;
    for (const ColourBlock& block : colourBlocks()) {
      // From the content view's coordinates to the image's, whose origin is
      // the frame's top left corner.
      const double x = (facts.content.origin.x + block.x - facts.frame.origin.x) / facts.frame.size.width * width;
      const double y = (NSMaxY(facts.frame) - (facts.content.origin.y + block.y)) / facts.frame.size.height * height;
      NSColor* colour = [[bitmap colorAtX:static_cast<NSInteger>(x) y:static_cast<NSInteger>(y)]
          colorUsingColorSpace:NSColorSpace.sRGBColorSpace];
      const double red = colour ? colour.redComponent : -1;
      const double green = colour ? colour.greenComponent : -1;
      const double blue = colour ? colour.blueComponent : -1;
      // Colour management may move a pure colour a little; its own channel
      // must still lead the others clearly.
      const double own = block.red * red + block.green * green + block.blue * blue;
      const double others = std::max({block.red > 0 ? -1.0 : red, block.green > 0 ? -1.0 : green,
                                      block.blue > 0 ? -1.0 : blue});
      const bool matches = colour != nil && own >= 0.55 && own - others >= 0.35;
      pixels = pixels && matches;
      detail += std::string("; ") + block.name + " block at (" + std::to_string(static_cast<int>(x)) + ", " +
                std::to_string(static_cast<int>(y)) + ") is " + std::to_string(static_cast<int>(red * 255)) + "/" +
                std::to_string(static_cast<int>(green * 255)) + "/" + std::to_string(static_cast<int>(blue * 255)) +
                (matches ? "" : " (not " + std::string(block.name) + ")");
    }
    if (!sized) detail += "; the size is neither the frame's nor the frame's at the display's scale";
    report_.check(sized && pixels, name, detail + "; " + timed(result));
  }

  // Posts `key` with `modifiers` into the focused text field and checks that
  // exactly that key arrived and typed its characters.
  void checkTyping(const std::string& name, PellucorOperation operation, PhysicalKey key, unsigned short keyCode,
                   const std::vector<KeyModifier>& modifiers, bool shift) {
    onMain([host = host_] { [host resetTyping]; });
    const std::uint32_t before = sessionKeyDowns();
    const CallResult result = call(name.substr(0, name.find(' ')), operation, std::nullopt, key, modifiers);
    if (result.outcome != Outcome::ok) {
      report_.check(false, name, failure(result));
      return;
    }
    waitOnMain([host = host_] { return !host.receivedKeys.empty(); }, milliseconds(2000));
    std::this_thread::sleep_for(milliseconds(200));
    const auto keys = onMain([host = host_] { return host.receivedKeys; });
    const std::string typed = onMain([host = host_] { return host.typedText; });
    if (sessionKeyDowns() != before) keyCounterSeesPostedKeys_ = true;
    const bool one = keys.size() == 1;
    const bool right = one && keys[0].keyCode == keyCode && keys[0].shift == shift && !keys[0].command &&
                       !keys[0].option && !keys[0].control;
    const bool inField = one && !typed.empty() && typed == keys[0].characters;
    std::string detail = std::to_string(keys.size()) + " key-down(s) arrived";
    if (one) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", keys[0].keyCode);
      detail += std::string(": key code ") + code + (keys[0].shift ? " with shift" : "") +
                (keys[0].command ? " with command" : "") + (keys[0].option ? " with option" : "") +
                (keys[0].control ? " with control" : "") + ", characters \"" + keys[0].characters + "\"";
    }
    detail += "; the text field holds \"" + typed + "\"; " + timed(result);
    report_.check(right && inField, name, detail);
  }

  void checkKey() {
    checkTyping("key a types into the focused text field", PellucorOperation::key, PhysicalKey::a, kKeyCodeA, {},
                false);
  }

  void checkHotkey() {
    checkTyping("hotkey shift+b types into the focused text field", PellucorOperation::hotkey, PhysicalKey::b,
                kKeyCodeB, {KeyModifier::shift}, true);
  }

  void checkWrongTitle() {
    const std::string name = "with the window renamed, observe_ax refuses with wrong_window_title";
    onMain([host = host_] { host.window.title = @"Zorvane Dev (renamed by the trial)"; });
    const CallResult result = call("observe_ax, window renamed", PellucorOperation::observeAX, std::nullopt);
    onMain([host = host_] { host.window.title = @(kProductName); });
    report_.check(isHelperError(result, "wrong_window_title"), name, failure(result));
  }

  void checkOutsideCopy() {
    const std::string name = "a copy of the helper outside the host bundle refuses with invalid_self_path";
    // By its physical path: a path through a link (/var) would be refused
    // earlier, with invalid_self_bundle.
    std::string directory = realDirectory(NSTemporaryDirectory().UTF8String) + "/zorvane-dev-trial.XXXXXX";
    if (mkdtemp(directory.data()) == nullptr) {
      report_.check(false, name, "no temporary directory for the copy");
      return;
    }
    const std::string copy = directory + "/" + kHelperBundle;
    NSError* error = nil;
    if (![NSFileManager.defaultManager copyItemAtPath:@(helperBundle_.c_str()) toPath:@(copy.c_str()) error:&error]) {
      report_.check(false, name, "the helper bundle cannot be copied: " + std::string(error.description.UTF8String));
      return;
    }
    const HelperClient outside({copy + "/" + kHelperExecutable}, random_);
    const CallResult result = outside.call(PellucorOperation::observeAX, target());
    report_.timing("observe_ax, helper copied outside", result);
    [NSFileManager.defaultManager removeItemAtPath:@(directory.c_str()) error:nil];
    report_.check(isHelperError(result, "invalid_self_path"), name, failure(result));
  }

  void checkThroughShell() {
    const std::string name = "the helper started through /bin/sh refuses with invalid_ancestry";
    // Two commands, so that the shell cannot replace itself with the helper:
    // it stays between the host and the helper.
    const HelperClient shell({"/bin/sh", "-c", "\"$0\"; exit $?", helper_}, random_);
    const CallResult result = shell.call(PellucorOperation::observeAX, target());
    report_.timing("observe_ax, through /bin/sh", result);
    const bool refused = isHelperError(result, "invalid_ancestry") &&
                         result.response->error->message ==
                             "development parent is outside the fixed host/repository chain";
    report_.check(refused, name, failure(result));
  }

  void checkMainThreadWait() {
    const std::string name = "observe_ax waited for on the main thread fails";
    const Trial* trial = this;
    const CallResult result =
        onMain([trial] { return trial->client_.call(PellucorOperation::observeAX, trial->target()); });
    report_.timing("observe_ax, waited for on the main thread", result);
    const std::string why =
        "the helper reads this window through Accessibility, which macOS serves on this application's main "
        "thread; blocked waiting for the helper, the main thread answers nothing until the messaging timeout";
    if (result.outcome == Outcome::ok) {
      report_.check(false, name, "it succeeded: " + timed(result));
    } else if (!observedOffMain_) {
      report_.check(false, name,
                    "not shown: the same request failed off the main thread too; here " + failure(result));
    } else {
      report_.check(true, name, describe(result) + ", while the same request off the main thread succeeded: " + why);
    }
  }

  void checkApproval() {
    const std::string name = "approval mode selects and captures this window and prints its five lines";
    const WindowFacts facts = windowFacts(host_);
    const CallResult result = client_.runApproval();
    report_.timing("approval mode", result);
    if (result.outcome != Outcome::ok) {
      report_.check(false, name, failure(result));
      return;
    }
    const bool same = result.approval && result.approval->windowID == facts.windowID;
    report_.check(same, name,
                  "window " + std::to_string(result.approval ? result.approval->windowID : 0) + " (this window is " +
                      std::to_string(facts.windowID) + "); " + timed(result));
    std::string lines = result.run.standardOutput;
    for (std::size_t start = 0; start < lines.size();) {
      const std::size_t end = lines.find('\n', start);
      report_.note(lines.substr(start, end - start));
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }

  void checkKeyWhileHidden() {
    const std::string name = "with this window hidden, key is refused with wrong_frontmost and nothing is posted";
    onMain([host = host_] { [host resetTyping]; });
    onMain([] { [NSApp hide:nil]; });
    waitOnMain(
        [] {
          NSRunningApplication* app = NSWorkspace.sharedWorkspace.frontmostApplication;
          return app == nil || app.processIdentifier != getpid();
        },
        milliseconds(3000));
    const std::uint32_t before = sessionKeyDowns();
    const CallResult result = call("key, window hidden", PellucorOperation::key, std::nullopt, PhysicalKey::left);
    std::this_thread::sleep_for(milliseconds(500));
    const bool counted = sessionKeyDowns() != before;
    // Hidden, the window should receive nothing at all.
    bool posted = !onMain([host = host_] { return host.receivedKeys; }).empty();
    std::string detail = failure(result);
    if (keyCounterSeesPostedKeys_) {
      posted = posted || counted;
      detail += counted ? "; a key-down was seen in the session meanwhile (the helper's, or yours: do not type during "
                          "the trial)"
                        : "; no key-down was seen in the session meanwhile";
    } else {
      detail += "; the session's key-down counter was not seen to count a posted key, so only the refusal and this "
                "window were checked";
    }
    report_.check(isHelperError(result, "wrong_frontmost") && !posted, name, detail);
  }

  ZDHostWindow* host_;
  std::string output_;
  Report report_;
  std::string helperBundle_;
  std::string helper_;
  SystemRandomSource random_;
  HelperClient client_;
  bool observedOffMain_ = false;
  bool keyCounterSeesPostedKeys_ = false;
};

}  // namespace

void startTrial(ZDHostWindow* host, std::string outputDirectory, void (^finished)(int status)) {
  dispatch_async(dispatch_get_global_queue(QOS_CLASS_USER_INITIATED, 0), ^{
    int status = 1;
    @autoreleasepool {
      [NSFileManager.defaultManager createDirectoryAtPath:@(outputDirectory.c_str())
                              withIntermediateDirectories:YES
                                               attributes:nil
                                                    error:nil];
      Trial trial(host, realDirectory(outputDirectory));
      status = trial.run();
    }
    dispatch_async(dispatch_get_main_queue(), ^{
      finished(status);
    });
  });
}

}  // namespace zorvane_dev
