#include "client/result_checks.hpp"

#include <array>
#include <cstddef>
#include <limits>

#include "text/base64.hpp"

namespace pellucor::client {
namespace {

constexpr std::string_view kAttributeMembers[] = {"role",    "subrole", "title",    "description", "identifier",
                                                  "value",   "enabled", "focused",  "position",    "size"};
constexpr int kMaximumTreeLevels = 12;
constexpr std::size_t kMaximumTreeElements = 500;

bool refuse(std::string& whyNot, std::string why) {
  whyNot = std::move(why);
  return false;
}

// Exactly the members `names`, each of the kind the caller checks next.
bool hasExactly(const JSONValue& value, std::initializer_list<std::string_view> names) {
  if (!value.isObject() || value.asObject().size() != names.size()) return false;
  for (const std::string_view name : names) {
    if (value.find(name) == nullptr) return false;
  }
  return true;
}

bool isIntegerPair(const JSONValue& value, std::string_view first, std::string_view second) {
  return hasExactly(value, {first, second}) && value.find(first)->isInteger() && value.find(second)->isInteger();
}

bool isAttributeValue(const JSONValue& value) {
  return value.isString() || value.isInteger() || value.isBool() || isIntegerPair(value, "x", "y") ||
         isIntegerPair(value, "width", "height");
}

bool isWindowID(const JSONValue* value) {
  return value != nullptr && value->isInteger() && value->asInteger() >= 0 &&
         value->asInteger() <= std::numeric_limits<std::uint32_t>::max();
}

bool matchesTargetWindow(const JSONValue& windowID, const TargetObservation& target) {
  return target.windowID && windowID.asInteger() == std::int64_t{*target.windowID};
}

bool isElement(const JSONValue& element, int level, std::size_t& count, std::string& whyNot) {
  if (!element.isObject()) return refuse(whyNot, "an element is not an object");
  if (++count > kMaximumTreeElements) return refuse(whyNot, "more than 500 elements");
  for (const auto& [key, value] : element.asObject()) {
    if (key == "actions") {
      if (!value.isArray() || value.asArray().empty()) return refuse(whyNot, "actions is not a non-empty list");
      for (const JSONValue& action : value.asArray()) {
        if (!action.isString()) return refuse(whyNot, "an action name is not a string");
      }
    } else if (key == "children") {
      if (!value.isArray() || value.asArray().empty()) return refuse(whyNot, "children is not a non-empty list");
      if (level + 1 > kMaximumTreeLevels) return refuse(whyNot, "an element more than 12 levels deep");
      for (const JSONValue& child : value.asArray()) {
        if (!isElement(child, level + 1, count, whyNot)) return false;
      }
    } else {
      bool known = false;
      for (const std::string_view name : kAttributeMembers) known = known || key == name;
      if (!known) return refuse(whyNot, "an element has the unknown member \"" + key + "\"");
      if (!isAttributeValue(value)) return refuse(whyNot, "attribute \"" + key + "\" has the wrong kind");
    }
  }
  return true;
}

bool isObserveResult(const JSONValue& result, std::string& whyNot) {
  if (!hasExactly(result, {"preflight_trusted", "tree"}) || !result.find("preflight_trusted")->isBool()) {
    return refuse(whyNot, "not {preflight_trusted, tree}");
  }
  std::size_t count = 0;
  return isElement(*result.find("tree"), 0, count, whyNot);
}

bool isWindowsResult(const JSONValue& result, const TargetObservation& target, std::string& whyNot) {
  if (!result.isArray() || result.asArray().size() != 1) return refuse(whyNot, "not a list of one window");
  const JSONValue& window = result.asArray().front();
  if (!hasExactly(window, {"height", "legacy_sharing_state", "on_screen", "title", "width", "window_id"})) {
    return refuse(whyNot, "the window does not have exactly the window's members");
  }
  const JSONValue& sharing = *window.find("legacy_sharing_state");
  if (!window.find("height")->isInteger() || window.find("height")->asInteger() < 0 ||
      !window.find("width")->isInteger() || window.find("width")->asInteger() < 0 ||
      !(sharing.isInteger() || sharing.isNull()) || !window.find("on_screen")->isBool() ||
      !window.find("title")->isString() || !isWindowID(window.find("window_id"))) {
    return refuse(whyNot, "a window member has the wrong kind or range");
  }
  if (!matchesTargetWindow(*window.find("window_id"), target)) {
    return refuse(whyNot, "the window's window_id is not the target's");
  }
  return true;
}

bool isLowerHexDigest(const JSONValue& value) {
  if (!value.isString() || value.asString().size() != 64) return false;
  for (const char c : value.asString()) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

bool isCaptureResult(const JSONValue& result, const TargetObservation& target, std::string& whyNot) {
  if (!hasExactly(result, {"height", "png_base64", "png_sha256", "width", "window_id"})) {
    return refuse(whyNot, "not {height, png_base64, png_sha256, width, window_id}");
  }
  const JSONValue& width = *result.find("width");
  const JSONValue& height = *result.find("height");
  if (!width.isInteger() || width.asInteger() < 1 || width.asInteger() > std::numeric_limits<std::uint32_t>::max() ||
      !height.isInteger() || height.asInteger() < 1 ||
      height.asInteger() > std::numeric_limits<std::uint32_t>::max()) {
    return refuse(whyNot, "width or height is not a positive 32-bit integer");
  }
  if (!result.find("png_base64")->isString()) return refuse(whyNot, "png_base64 is not a string");
  if (!isLowerHexDigest(*result.find("png_sha256"))) {
    return refuse(whyNot, "png_sha256 is not 64 lower-case hexadecimal digits");
  }
  if (!isWindowID(result.find("window_id")) || !matchesTargetWindow(*result.find("window_id"), target)) {
    return refuse(whyNot, "window_id is not the target's");
  }
  return true;
}

bool isKeyResult(const JSONValue& result, std::string& whyNot) {
  if (!hasExactly(result, {"posted"}) || !result.find("posted")->isBool() || !result.find("posted")->asBool()) {
    return refuse(whyNot, "not {\"posted\": true}");
  }
  return true;
}

int base64Value(char c) noexcept {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

std::uint32_t bigEndian32(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

}  // namespace

bool hasResultShape(PellucorOperation operation, const JSONValue& result, const TargetObservation& target,
                    std::string& whyNot) {
  switch (operation) {
    case PellucorOperation::observeAX: return isObserveResult(result, whyNot);
    case PellucorOperation::enumerateTargetWindows: return isWindowsResult(result, target, whyNot);
    case PellucorOperation::captureTargetWindow: return isCaptureResult(result, target, whyNot);
    case PellucorOperation::key:
    case PellucorOperation::hotkey: return isKeyResult(result, whyNot);
  }
  return refuse(whyNot, "unknown operation");
}

std::optional<std::string> decodeCanonicalBase64(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::size_t padding = 0;
  while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
  std::string bytes;
  bytes.reserve(text.size() / 4 * 3);
  std::uint32_t bits = 0;
  int held = 0;
  for (std::size_t i = 0; i + padding < text.size(); ++i) {
    const int value = base64Value(text[i]);
    if (value < 0) return std::nullopt;
    bits = (bits << 6) | static_cast<std::uint32_t>(value);
    held += 6;
    if (held >= 8) {
      held -= 8;
      bytes.push_back(static_cast<char>((bits >> held) & 0xff));
    }
  }
  // Encoding the bytes again gives the one canonical spelling; any other
  // (spare bits set, a lone character before the padding) differs from it.
  if (text::encodeBase64(bytes) != text) return std::nullopt;
  return bytes;
}

std::optional<PNGSize> pngHeaderSize(std::string_view png) {
  constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);
  constexpr std::size_t kHeaderEnd = 8 + 4 + 4 + 13;
  if (png.size() < kHeaderEnd || png.substr(0, 8) != kSignature) return std::nullopt;
  if (bigEndian32(png, 8) != 13 || png.substr(12, 4) != "IHDR") return std::nullopt;
  const PNGSize size{bigEndian32(png, 16), bigEndian32(png, 20)};
  if (size.width == 0 || size.height == 0) return std::nullopt;
  return size;
}

}  // namespace pellucor::client
