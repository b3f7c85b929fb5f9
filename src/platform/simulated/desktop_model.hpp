#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/accessibility.hpp"
#include "platform/platform_value.hpp"
#include "platform/screen_capture.hpp"
#include "platform/workspace.hpp"
#include "platform/simulated/png_decoder.hpp"

namespace pellucor::simulated {

// The calls a desktop file can slow down, one per kind of platform call.
enum class SimulatedCall : std::uint8_t {
  parentPid,
  processPath,
  processInfo,
  selfCode,
  guestCode,
  checkValidity,
  signingInformation,
  frontmostApplication,
  focusedWindow,
  copyAttribute,
  actionNames,
  shareableContent,
  capture,
  legacyWindowList,
  postEvent,
  trustPrompt,
};
inline constexpr std::size_t kSimulatedCallCount = 16;

// The largest side and the largest pixel count of any image the desktop
// produces, decoded or captured, so that a mistyped size fails cleanly
// instead of exhausting memory.
inline constexpr std::int64_t kMaximumImageSide = 16384;
inline constexpr std::int64_t kMaximumImagePixels = std::int64_t{1} << 26;

// The signing information of a code, as the desktop file gives it.
struct SimulatedSigningInformation {
  std::optional<platform::PlatformValue> identifier;
  std::optional<platform::PlatformValue> team;
  bool designatedRequirement = true;
};

// One code (a signed executable) of the desktop.
struct SimulatedCode {
  std::string name;
  bool valid = true;
  bool staticCode = true;
  std::optional<SimulatedSigningInformation> information;  // nothing: asking fails
};
using CodeReference = std::shared_ptr<const SimulatedCode>;

struct SimulatedHelper {
  std::string bundlePath = "/";
  std::optional<std::string> executablePath;
  std::optional<std::string> bundleIdentifier;
  std::map<std::string, platform::PlatformValue, std::less<>> info;
  std::int32_t parentPid = 1;
  CodeReference code;  // null: asking for the own code fails
};

struct SimulatedProcess {
  std::optional<std::string> path;
  std::optional<std::int32_t> parentPid;
  CodeReference code;  // null: the guest-code lookup fails
};

// An accessibility element of the desktop. The object itself is the handle
// the accessibility service hands out, so every value that refers to it keeps
// it (and the elements below it) alive.
struct SimulatedElement final : platform::PlatformObject {
  std::map<std::string, platform::AXResult, std::less<>> attributes;
  platform::AXResult actions;
};

// A straight (not premultiplied) RGBA colour.
using StraightColor = std::array<std::uint8_t, 4>;

struct ImageRectangle {
  std::int64_t x = 0;
  std::int64_t y = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;
  StraightColor color{};
};

// What a capture of a window shows.
struct SimulatedImage {
  StraightColor fill{255, 255, 255, 255};
  std::vector<ImageRectangle> rectangles;
  std::optional<std::array<std::int64_t, 2>> size;  // nothing: the configured size
  std::optional<StraightImage> png;                 // replaces everything else
};

// A shareable window of the desktop; the object itself is the window handle.
struct SimulatedWindow final : platform::PlatformObject {
  platform::ShareableWindow description;  // its handle member stays null here
  bool hasHandle = true;
  SimulatedImage image;
  std::optional<std::string> captureError;
};

// Everything a desktop file says, immutable once read.
struct DesktopModel {
  SimulatedHelper helper;
  std::map<std::string, std::optional<std::string>, std::less<>> bundles;
  std::map<std::string, std::string, std::less<>> links;
  std::vector<std::string> unreadable;
  std::map<std::int32_t, SimulatedProcess> processes;
  std::map<std::string, CodeReference, std::less<>> codes;
  // Never empty: one entry answers every question.
  std::vector<std::optional<platform::RunningApplication>> frontmost{std::nullopt};
  bool trusted = false;
  bool promptAnswer = false;
  // Each sequence is never empty.
  std::map<std::int32_t, std::vector<platform::AXResult>> focusedWindows;
  std::optional<std::string> screenError;
  std::vector<std::shared_ptr<const SimulatedWindow>> windows;
  std::optional<platform::PlatformValue> legacyWindowList;
  bool keyboardEventCreation = true;
  std::array<std::chrono::milliseconds, kSimulatedCallCount> delays{};
};

}  // namespace pellucor::simulated
