#include "intake/protocol_parser.hpp"

#include <array>
#include <charconv>
#include <limits>
#include <optional>

#include "intake/strict_json_scanner.hpp"
#include "text/base64.hpp"
#include "text/unicode_category.hpp"
#include "text/utf8.hpp"

namespace pellucor {
namespace {

using namespace intake_errors;
using Kind = ScannedValue::Kind;

constexpr std::string_view kSurface = "plugin.application";
constexpr std::size_t kApplicationNameBytes = 255;
constexpr std::size_t kApplicationRevisionBytes = 256;
constexpr std::size_t kMaximumModifiers = 3;

constexpr std::array<std::string_view, 6> kEnvelopeMembers = {"protocol", "request_id", "nonce",
                                                              "operation", "target", "params"};
constexpr std::array<std::string_view, 7> kTargetMembers = {
    "pid", "bundle_id", "frontmost_required", "surface", "application_id", "application_name",
    "application_revision"};
constexpr std::string_view kOptionalTargetMember = "window_id";
constexpr std::array<std::string_view, 2> kParamsMembers = {"key", "modifiers"};

template <std::size_t N>
bool contains(const std::array<std::string_view, N>& names, std::string_view name) {
  for (const auto candidate : names) {
    if (candidate == name) return true;
  }
  return false;
}

// The member names of `object` are exactly `required`, plus `optional` when
// given. The scanner has already refused duplicate keys.
template <std::size_t N>
bool hasExactMembers(const ScannedValue& object, const std::array<std::string_view, N>& required,
                     std::string_view optional = {}) {
  if (object.kind != Kind::object) return false;
  std::size_t found = 0;
  for (const auto& member : object.members) {
    if (contains(required, member.key)) {
      ++found;
    } else if (optional.empty() || member.key != optional) {
      return false;
    }
  }
  return found == N;
}

void validateClosedKeys(const ScannedValue& root) {
  if (!hasExactMembers(root, kEnvelopeMembers)) fail(kUnknownField);
  if (!hasExactMembers(*root.member("target"), kTargetMembers, kOptionalTargetMember)) {
    fail(kUnknownField);
  }
  const ScannedValue& params = *root.member("params");
  if (params.kind != Kind::object) fail(kUnknownField);
  for (const auto& member : params.members) {
    if (!contains(kParamsMembers, member.key)) fail(kUnknownField);
  }
}

// Typed decoding. Every failure here is the one schema mismatch error: a value
// of the wrong JSON type, an integer outside its field's range, an unknown
// enumeration name, or null for a member that is not optional.

const std::string& decodeText(const ScannedValue* value) {
  if (value == nullptr || value->kind != Kind::string) fail(kSchemaMismatch);
  return value->text;
}

template <typename Integer>
Integer decodeInteger(const ScannedValue* value) {
  if (value == nullptr || value->kind != Kind::integer) fail(kSchemaMismatch);
  // Parsed as signed 64-bit first, so that "-0" and out-of-range values of any
  // length are judged alike; from_chars never wraps.
  std::int64_t wide = 0;
  const auto& digits = value->text;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), wide);
  if (result.ec != std::errc{} || result.ptr != digits.data() + digits.size()) fail(kSchemaMismatch);
  if (wide < std::numeric_limits<Integer>::min() || wide > std::numeric_limits<Integer>::max()) {
    fail(kSchemaMismatch);
  }
  return static_cast<Integer>(wide);
}

bool decodeBool(const ScannedValue* value) {
  if (value == nullptr || value->kind != Kind::boolean) fail(kSchemaMismatch);
  return value->boolean;
}

bool isAbsent(const ScannedValue* value) { return value == nullptr || value->kind == Kind::null; }

struct Params {
  std::optional<PhysicalKey> key;
  std::optional<std::vector<KeyModifier>> modifiers;
};

struct Envelope {
  std::string protocolVersion;
  std::string requestID;
  std::string nonce;
  PellucorOperation operation = PellucorOperation::observeAX;
  Target target;
  Params params;
};

Target decodeTarget(const ScannedValue& object) {
  Target target;
  target.pid = decodeInteger<std::int32_t>(object.member("pid"));
  target.bundleID = decodeText(object.member("bundle_id"));
  target.frontmostRequired = decodeBool(object.member("frontmost_required"));
  if (const auto* windowID = object.member("window_id"); !isAbsent(windowID)) {
    target.windowID = decodeInteger<std::uint32_t>(windowID);
  }
  target.surface = decodeText(object.member("surface"));
  target.applicationID = decodeText(object.member("application_id"));
  target.applicationName = decodeText(object.member("application_name"));
  target.applicationRevision = decodeText(object.member("application_revision"));
  return target;
}

Params decodeParams(const ScannedValue& object) {
  Params params;
  if (const auto* key = object.member("key"); !isAbsent(key)) {
    params.key = physicalKeyFromWireName(decodeText(key));
    if (!params.key) fail(kSchemaMismatch);
  }
  if (const auto* modifiers = object.member("modifiers"); !isAbsent(modifiers)) {
    if (modifiers->kind != Kind::array) fail(kSchemaMismatch);
    auto& list = params.modifiers.emplace();
    list.reserve(modifiers->elements.size());
    for (const auto& element : modifiers->elements) {
      const auto modifier = modifierFromWireName(decodeText(&element));
      if (!modifier) fail(kSchemaMismatch);
      list.push_back(*modifier);
    }
  }
  return params;
}

Envelope decodeEnvelope(const ScannedValue& root) {
  Envelope envelope;
  envelope.protocolVersion = decodeText(root.member("protocol"));
  envelope.requestID = decodeText(root.member("request_id"));
  envelope.nonce = decodeText(root.member("nonce"));
  const auto operation = operationFromWireName(decodeText(root.member("operation")));
  if (!operation) fail(kSchemaMismatch);
  envelope.operation = *operation;
  envelope.target = decodeTarget(*root.member("target"));
  envelope.params = decodeParams(*root.member("params"));
  return envelope;
}

bool isHexDigit(char c) noexcept {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A version-4 UUID in its canonical 8-4-4-4-12 form, hexadecimal digits in
// either letter case. Any text that is not 36 ASCII characters fails.
bool validUUIDv4(std::string_view text) {
  if (text.size() != 36) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool hyphenPosition = i == 8 || i == 13 || i == 18 || i == 23;
    if (hyphenPosition ? text[i] != '-' : !isHexDigit(text[i])) return false;
  }
  if (text[14] != '4') return false;
  return std::string_view("89abAB").find(text[19]) != std::string_view::npos;
}

bool validNonce(std::string_view text) { return text::isCanonicalUrlSafeBase64Of32Bytes(text); }

bool isTrimmable(char32_t scalar) {
  return text::isSpaceSeparator(scalar) || (scalar >= 0x09 && scalar <= 0x0D) || scalar == 0x85;
}

// Non-empty, nothing to trim at either end, at most `maximumBytes` of UTF-8,
// and no control, format or bidirectional control character anywhere.
bool validIdentityText(std::string_view text, std::size_t maximumBytes) {
  if (text.empty() || text.size() > maximumBytes) return false;
  std::size_t index = 0;
  char32_t last = 0;
  bool first = true;
  while (index < text.size()) {
    const auto scalar = text::nextScalar(text, index);
    if (!scalar) return false;
    if (first && isTrimmable(*scalar)) return false;
    first = false;
    if (text::isControlOrFormat(*scalar) || text::isBidiControl(*scalar)) return false;
    last = *scalar;
  }
  return !isTrimmable(last);
}

bool validApplicationID(std::string_view text) {
  if (text.size() != 24) return false;
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

void validateTarget(const Target& target) {
  if (target.pid < 1 || !target.frontmostRequired || target.surface != kSurface ||
      !validApplicationID(target.applicationID) ||
      !validIdentityText(target.applicationName, kApplicationNameBytes) ||
      !validIdentityText(target.applicationRevision, kApplicationRevisionBytes)) {
    fail(kTarget);
  }
}

bool distinct(const std::vector<KeyModifier>& modifiers) {
  for (std::size_t i = 0; i < modifiers.size(); ++i) {
    for (std::size_t j = i + 1; j < modifiers.size(); ++j) {
      if (modifiers[i] == modifiers[j]) return false;
    }
  }
  return true;
}

void validateParams(PellucorOperation operation, const Target& target, const Params& params) {
  const bool hasKey = params.key.has_value();
  const bool hasModifiers = params.modifiers.has_value();
  switch (operation) {
    case PellucorOperation::observeAX:
    case PellucorOperation::enumerateTargetWindows:
      if (hasKey || hasModifiers) fail(kEmptyParams);
      return;
    case PellucorOperation::captureTargetWindow:
      if (!target.windowID || hasKey || hasModifiers) fail(kCaptureParams);
      return;
    case PellucorOperation::key:
      if (!hasKey || hasModifiers) fail(kKeyParams);
      return;
    case PellucorOperation::hotkey:
      if (!hasKey || !hasModifiers || params.modifiers->size() > kMaximumModifiers ||
          !distinct(*params.modifiers)) {
        fail(kHotkeyParams);
      }
      return;
  }
}

}  // namespace

Request ProtocolParser::parse(std::string_view bytes) {
  if (bytes.size() > kMaximumRequestBytes) fail(kRequestTooLarge);
  const ScannedValue root = StrictJSONScanner(bytes).scan();
  validateClosedKeys(root);
  Envelope envelope = decodeEnvelope(root);
  if (envelope.protocolVersion != kProtocolVersion) fail(kProtocol);
  if (!validUUIDv4(envelope.requestID)) fail(kRequestID);
  if (!validNonce(envelope.nonce)) fail(kNonce);
  validateTarget(envelope.target);
  validateParams(envelope.operation, envelope.target, envelope.params);

  Request request;
  request.requestID = std::move(envelope.requestID);
  request.nonce = std::move(envelope.nonce);
  request.operation = envelope.operation;
  request.target = std::move(envelope.target);
  const bool keyed = envelope.operation == PellucorOperation::key ||
                     envelope.operation == PellucorOperation::hotkey;
  if (keyed) request.key = envelope.params.key;
  if (envelope.operation == PellucorOperation::hotkey) request.modifiers = *envelope.params.modifiers;
  return request;
}

}  // namespace pellucor
