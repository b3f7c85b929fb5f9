#include "platform/simulated/desktop_file_reader.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/simulated/desktop_json.hpp"
#include "platform/simulated/desktop_value_reader.hpp"
#include "platform/simulated/file_contents.hpp"
#include "platform/simulated/json_node.hpp"
#include "platform/simulated/png_decoder.hpp"
#include "text/file_path.hpp"

namespace pellucor::simulated {

namespace {

using platform::PlatformValue;
using CodeTable = std::map<std::string, CodeReference, std::less<>>;

constexpr std::int64_t kLongestDelayMilliseconds = 86'400'000;

constexpr std::array<std::pair<std::string_view, SimulatedCall>, kSimulatedCallCount> kCallNames{{
    {"parent_pid", SimulatedCall::parentPid},
    {"process_path", SimulatedCall::processPath},
    {"process_info", SimulatedCall::processInfo},
    {"self_code", SimulatedCall::selfCode},
    {"guest_code", SimulatedCall::guestCode},
    {"check_validity", SimulatedCall::checkValidity},
    {"signing_information", SimulatedCall::signingInformation},
    {"frontmost_application", SimulatedCall::frontmostApplication},
    {"focused_window", SimulatedCall::focusedWindow},
    {"copy_attribute", SimulatedCall::copyAttribute},
    {"action_names", SimulatedCall::actionNames},
    {"shareable_content", SimulatedCall::shareableContent},
    {"capture", SimulatedCall::capture},
    {"legacy_window_list", SimulatedCall::legacyWindowList},
    {"post_event", SimulatedCall::postEvent},
    {"trust_prompt", SimulatedCall::trustPrompt},
}};

JsonNode requiredMember(const JsonNode& node, std::string_view name) {
  auto found = node.member(name);
  if (!found) JsonNode(node.json(), memberPath(node.path(), name)).fail("is required");
  return *found;
}

std::int32_t readPid(const JsonNode& node) {
  return static_cast<std::int32_t>(
      node.integer(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// A map key naming a process: its identifier in plain decimal ("501", "-1";
// no sign for positives, no leading zeros), within 32 bits.
std::int32_t readPidKey(const std::string& key, const JsonNode& node) {
  const std::string_view digits = key.starts_with('-') ? std::string_view(key).substr(1) : std::string_view(key);
  bool plain = !digits.empty() && digits.size() <= 10 && !(digits.size() > 1 && digits.front() == '0') &&
               key != "-0";
  for (const char c : digits) plain = plain && c >= '0' && c <= '9';
  if (plain) {
    const std::int64_t value = std::stoll(key);
    if (value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max()) {
      return static_cast<std::int32_t>(value);
    }
  }
  node.fail("is not named by a decimal process identifier");
}

bool isStandardAbsolutePath(std::string_view path) {
  return path.starts_with('/') && text::standardizeFilePath(path) == path;
}

// Paths are compared as given, so every listed path must already be in the
// form the services compare against.
void checkPathKey(const std::string& key, const JsonNode& node) {
  if (!isStandardAbsolutePath(key)) node.fail("is not named by an absolute path in standard form");
}

PlatformValue readLooselyTypedValue(const JsonNode& node) {
  if (node.json().is_string()) return PlatformValue::makeText(node.string());
  return PlatformValue::makeOther(node.json().dump());
}

std::optional<PlatformValue> readSigningEntry(const JsonNode& node) {
  if (node.isNull()) return std::nullopt;
  return readLooselyTypedValue(node);
}

CodeTable readCodes(const std::optional<JsonNode>& node) {
  CodeTable codes;
  if (!node) return codes;
  for (const auto& [name, entry] : node->entries()) {
    entry.expectObject({"valid", "static", "info"});
    auto code = std::make_shared<SimulatedCode>();
    code->name = name;
    if (const auto valid = entry.member("valid")) code->valid = valid->boolean();
    if (const auto staticCode = entry.member("static")) code->staticCode = staticCode->boolean();
    if (const auto info = entry.member("info"); info && !info->isNull()) {
      info->expectObject({"identifier", "team", "designated_requirement"});
      SimulatedSigningInformation information;
      if (const auto identifier = info->member("identifier")) information.identifier = readSigningEntry(*identifier);
      if (const auto team = info->member("team")) information.team = readSigningEntry(*team);
      if (const auto requirement = info->member("designated_requirement")) {
        information.designatedRequirement = requirement->boolean();
      }
      code->information = std::move(information);
    }
    codes.emplace(name, std::move(code));
  }
  return codes;
}

CodeReference lookUpCode(const JsonNode& node, const CodeTable& codes) {
  const auto found = codes.find(node.string());
  if (found == codes.end()) node.fail("names no entry in codes");
  return found->second;
}

SimulatedHelper readHelper(const JsonNode& node, const CodeTable& codes) {
  node.expectObject({"bundle_path", "executable_path", "bundle_id", "info", "parent_pid", "code"});
  SimulatedHelper helper;
  if (const auto path = node.member("bundle_path")) helper.bundlePath = path->string();
  if (const auto path = node.member("executable_path")) helper.executablePath = path->stringOrNull();
  if (const auto identifier = node.member("bundle_id")) helper.bundleIdentifier = identifier->stringOrNull();
  if (const auto info = node.member("info")) {
    for (const auto& [key, value] : info->entries()) helper.info.emplace(key, readLooselyTypedValue(value));
  }
  if (const auto parent = node.member("parent_pid")) helper.parentPid = readPid(*parent);
  if (const auto code = node.member("code")) helper.code = lookUpCode(*code, codes);
  return helper;
}

void readFileSystem(const JsonNode& root, DesktopModel& model) {
  if (const auto bundles = root.member("bundles")) {
    for (const auto& [path, identifier] : bundles->entries()) {
      checkPathKey(path, identifier);
      model.bundles.emplace(path, identifier.stringOrNull());
    }
  }
  if (const auto links = root.member("links")) {
    for (const auto& [path, target] : links->entries()) {
      checkPathKey(path, target);
      if (path == "/") target.fail("cannot be a link: the root is a directory");
      const std::string targetPath = target.string();
      if (!targetPath.starts_with('/')) target.fail("must be an absolute path");
      model.links.emplace(path, targetPath);
    }
  }
  if (const auto unreadable = root.member("unreadable")) {
    for (const JsonNode& item : unreadable->items()) {
      const std::string path = item.string();
      if (!isStandardAbsolutePath(path)) item.fail("must be an absolute path in standard form");
      model.unreadable.push_back(path);
    }
  }
}

std::map<std::int32_t, SimulatedProcess> readProcesses(const JsonNode& node, const CodeTable& codes) {
  std::map<std::int32_t, SimulatedProcess> processes;
  for (const auto& [key, entry] : node.entries()) {
    const std::int32_t pid = readPidKey(key, entry);
    entry.expectObject({"path", "parent_pid", "code"});
    SimulatedProcess process;
    if (const auto path = entry.member("path")) process.path = path->string();
    if (const auto parent = entry.member("parent_pid")) process.parentPid = readPid(*parent);
    if (const auto code = entry.member("code")) process.code = lookUpCode(*code, codes);
    processes.emplace(pid, std::move(process));
  }
  return processes;
}

std::optional<platform::RunningApplication> readApplication(const JsonNode& node) {
  if (node.isNull()) return std::nullopt;
  node.expectObject({"pid", "bundle_id", "name"});
  platform::RunningApplication application;
  application.pid = readPid(requiredMember(node, "pid"));
  if (const auto identifier = node.member("bundle_id")) application.bundleIdentifier = identifier->stringOrNull();
  if (const auto name = node.member("name")) application.localizedName = name->stringOrNull();
  return application;
}

// A single answer, or an array of answers asked in turn.
template <typename Answer, typename ReadOne>
std::vector<Answer> readSequence(const JsonNode& node, ReadOne readOne) {
  std::vector<Answer> sequence;
  if (!node.json().is_array()) {
    sequence.push_back(readOne(node));
    return sequence;
  }
  for (const JsonNode& item : node.items()) sequence.push_back(readOne(item));
  if (sequence.empty()) node.fail("must not be an empty array");
  return sequence;
}

void readAccessibility(const JsonNode& node, DesktopModel& model) {
  node.expectObject({"trusted", "prompt_answer"});
  if (const auto trusted = node.member("trusted")) model.trusted = trusted->boolean();
  if (const auto answer = node.member("prompt_answer")) model.promptAnswer = answer->boolean();
}

StraightColor readColor(const JsonNode& node) {
  const std::vector<JsonNode> items = node.items();
  if (items.size() != 4) node.fail("must be an array of 4 integers [r, g, b, a]");
  StraightColor color{};
  for (std::size_t i = 0; i < 4; ++i) color[i] = static_cast<std::uint8_t>(items[i].integer(0, 255));
  return color;
}

StraightImage readPng(const JsonNode& node, const std::string& baseDirectory) {
  std::string path = node.string();
  if (!path.starts_with('/') && !baseDirectory.empty()) {
    path = (baseDirectory.ends_with('/') ? baseDirectory : baseDirectory + "/") + path;
  }
  std::string bytes;
  try {
    bytes = readFileContents(path);
  } catch (const std::system_error& error) {
    node.fail("cannot be read: " + DesktopJson(path).dump() + " (" + error.code().message() + ")");
  }
  try {
    return decodePng(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                     kMaximumImageSide, kMaximumImagePixels);
  } catch (const PngDecodeError& error) {
    node.fail("is not a usable PNG: " + std::string(error.what()));
  }
}

SimulatedImage readImage(const JsonNode& node, const std::string& baseDirectory) {
  node.expectObject({"fill", "rects", "size", "png"});
  SimulatedImage image;
  if (const auto fill = node.member("fill")) image.fill = readColor(*fill);
  if (const auto rects = node.member("rects")) {
    constexpr std::int64_t kLeast = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMost = std::numeric_limits<std::int32_t>::max();
    for (const JsonNode& item : rects->items()) {
      item.expectObject({"x", "y", "w", "h", "color"});
      image.rectangles.push_back(ImageRectangle{requiredMember(item, "x").integer(kLeast, kMost),
                                                requiredMember(item, "y").integer(kLeast, kMost),
                                                requiredMember(item, "w").integer(0, kMost),
                                                requiredMember(item, "h").integer(0, kMost),
                                                readColor(requiredMember(item, "color"))});
    }
  }
  if (const auto size = node.member("size")) {
    const std::vector<JsonNode> items = size->items();
    if (items.size() != 2) size->fail("must be an array of 2 integers [w, h]");
    const std::int64_t width = items[0].integer(0, kMaximumImageSide);
    const std::int64_t height = items[1].integer(0, kMaximumImageSide);
    if (width * height > kMaximumImagePixels) {
      size->fail("must not exceed " + std::to_string(kMaximumImagePixels) + " pixels");
    }
    image.size = std::array<std::int64_t, 2>{width, height};
  }
  if (const auto png = node.member("png")) image.png = readPng(*png, baseDirectory);
  return image;
}

std::shared_ptr<const SimulatedWindow> readWindow(const JsonNode& node, const std::string& baseDirectory) {
  node.expectObject({"window_id", "owner", "on_screen", "title", "frame", "handle", "image", "capture_error"});
  auto window = std::make_shared<SimulatedWindow>();
  platform::ShareableWindow& description = window->description;
  description.windowID =
      static_cast<std::uint32_t>(requiredMember(node, "window_id").integer(0, std::numeric_limits<std::uint32_t>::max()));
  if (const auto owner = node.member("owner"); owner && !owner->isNull()) {
    owner->expectObject({"pid", "bundle_id"});
    platform::OwningApplication application;
    application.pid = readPid(requiredMember(*owner, "pid"));
    if (const auto identifier = owner->member("bundle_id")) application.bundleIdentifier = identifier->stringOrNull();
    description.owner = std::move(application);
  }
  if (const auto onScreen = node.member("on_screen")) description.onScreen = onScreen->boolean();
  if (const auto title = node.member("title")) description.title = title->stringOrNull();
  const JsonNode frame = requiredMember(node, "frame");
  const std::vector<JsonNode> components = frame.items();
  if (components.size() != 4) frame.fail("must be an array of 4 numbers [x, y, width, height]");
  description.frame = platform::Rect{readCoordinate(components[0]), readCoordinate(components[1]),
                                     readCoordinate(components[2]), readCoordinate(components[3])};
  if (const auto handle = node.member("handle")) window->hasHandle = handle->boolean();
  if (const auto image = node.member("image")) window->image = readImage(*image, baseDirectory);
  if (const auto error = node.member("capture_error")) window->captureError = error->stringOrNull();
  return window;
}

void readScreen(const JsonNode& node, const std::string& baseDirectory, DesktopModel& model) {
  node.expectObject({"windows", "error"});
  if (const auto error = node.member("error")) model.screenError = error->stringOrNull();
  if (const auto windows = node.member("windows")) {
    for (const JsonNode& item : windows->items()) model.windows.push_back(readWindow(item, baseDirectory));
  }
}

std::optional<PlatformValue> readLegacyWindowList(const JsonNode& node) {
  if (node.isNull()) return std::nullopt;
  std::vector<PlatformValue> entries;
  for (const JsonNode& item : node.items()) {
    PlatformValue dictionary;
    dictionary.kind = PlatformValue::Kind::dictionary;
    for (const auto& [key, value] : item.entries()) dictionary.dictionary.emplace_back(key, readDesktopValue(value));
    entries.push_back(std::move(dictionary));
  }
  return PlatformValue::makeList(std::move(entries));
}

void readDelays(const JsonNode& node, DesktopModel& model) {
  for (const auto& [name, milliseconds] : node.entries()) {
    const auto* call = std::find_if(kCallNames.begin(), kCallNames.end(),
                                    [&callName = name](const auto& entry) { return entry.first == callName; });
    if (call == kCallNames.end()) milliseconds.fail("is not a known call name");
    model.delays[static_cast<std::size_t>(call->second)] =
        std::chrono::milliseconds(milliseconds.integer(0, kLongestDelayMilliseconds));
  }
}

}  // namespace

DesktopModel readDesktopFile(std::string_view text, const std::string& baseDirectory) {
  const DesktopJson json = parseDesktopJson(text);
  const JsonNode root(json, "");
  root.expectObject({"helper", "bundles", "links", "unreadable", "processes", "codes", "frontmost", "accessibility",
                     "focused_windows", "screen", "legacy_window_list", "keyboard", "delays_ms"});
  DesktopModel model;
  // Codes first: the helper and the processes refer to them by name.
  const CodeTable codes = readCodes(root.member("codes"));
  model.codes = codes;
  if (const auto helper = root.member("helper")) model.helper = readHelper(*helper, codes);
  readFileSystem(root, model);
  if (const auto processes = root.member("processes")) model.processes = readProcesses(*processes, codes);
  if (const auto frontmost = root.member("frontmost")) {
    model.frontmost = readSequence<std::optional<platform::RunningApplication>>(*frontmost, readApplication);
  }
  if (const auto accessibility = root.member("accessibility")) readAccessibility(*accessibility, model);
  if (const auto focused = root.member("focused_windows")) {
    for (const auto& [key, answers] : focused->entries()) {
      model.focusedWindows.emplace(readPidKey(key, answers),
                                   readSequence<platform::AXResult>(answers, readFocusedWindowAnswer));
    }
  }
  if (const auto screen = root.member("screen")) readScreen(*screen, baseDirectory, model);
  if (const auto legacy = root.member("legacy_window_list")) model.legacyWindowList = readLegacyWindowList(*legacy);
  if (const auto keyboard = root.member("keyboard")) {
    keyboard->expectObject({"event_creation"});
    if (const auto creation = keyboard->member("event_creation")) model.keyboardEventCreation = creation->boolean();
  }
  if (const auto delays = root.member("delays_ms")) readDelays(*delays, model);
  return model;
}

}  // namespace pellucor::simulated
