#include "intake/protocol_parser.hpp"

#include <array>
#include <charconv>
#include <limits>
#include <optional>

#include "intake/accepted_json.hpp"
#include "intake/strict_json_scanner.hpp"
#include "text/base64.hpp"
#include "text/unicode_category.hpp"
#include "text/utf8.hpp"

namespace pellucor {
namespace {

using namespace intake_errors;
using accepted_json::Kind;
using accepted_json::Value;

constexpr std::string_view kSurface = "plugin.application";
constexpr std::size_t kApplicationNameBytes = 255;
constexpr std::size_t kApplicationRevisionBytes = 256;
constexpr std::size_t kMaximumModifiers = 3;

// The member names of each record, the required ones first.
enum class EnvelopeMember { protocol, requestID, nonce, operation, target, params };
constexpr std::array<std::string_view, 6> kEnvelopeMembers = {"protocol", "request_id", "nonce",
                                                              "operation", "target", "params"};
enum class TargetMember {
  pid,
  bundleID,
  frontmostRequired,
  surface,
  applicationID,
  applicationName,
  applicationRevision,
  windowID,
};
constexpr std::array<std::string_view, 8> kTargetMembers = {
    "pid",          "bundle_id",        "frontmost_required",   "surface",
    "application_id", "application_name", "application_revision", "window_id"};
constexpr std::size_t kRequiredTargetMembers = 7;
enum class ParamsMember { key, modifiers };
constexpr std::array<std::string_view, 2> kParamsMembers = {"key", "modifiers"};

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

// Decodes the accepted request line in one pass: the closed member-name sets
// and the typed decoding of every member into its field.
//
// A member-name violation (a top level, "target" or "params" that is not an
// object, an unknown name, a missing one) fails at once. A value that does
// not decode into its field (a wrong JSON type, an integer out of its range,
// an unknown enumeration name, null for a member that is not optional) only
// marks the request, and the schema mismatch is reported once the whole line
// has been read: every name is checked before any value's failure counts.
class RequestDecoder {
 public:
  explicit RequestDecoder(std::string_view bytes) : reader_(bytes) {}

  Envelope decode() {
    readObject<EnvelopeMember>(kEnvelopeMembers, kEnvelopeMembers.size(),
                               [this](EnvelopeMember member) { readEnvelopeMember(member); });
    if (mismatch_) fail(kSchemaMismatch);
    return std::move(envelope_);
  }

 private:
  // Reads the object at the reader's position, whose member names must all
  // be in `names` and must include the first `required` of them; names are
  // compared as decoded text, exactly (the scanner has already refused a name
  // given twice). `readMember` reads each member's value.
  template <typename Member, std::size_t N, typename ReadMember>
  void readObject(const std::array<std::string_view, N>& names, std::size_t required, ReadMember readMember) {
    if (reader_.kind() != Kind::object) fail(kUnknownField);
    reader_.enter();
    std::string_view key;
    std::size_t found = 0;
    while (reader_.member(key, keyScratch_)) {
      std::size_t index = 0;
      while (index < N && names[index] != key) ++index;
      if (index == N) fail(kUnknownField);
      if (index < required) ++found;
      readMember(static_cast<Member>(index));
    }
    if (found != required) fail(kUnknownField);
  }

  void readEnvelopeMember(EnvelopeMember member) {
    switch (member) {
      case EnvelopeMember::protocol: return readText(envelope_.protocolVersion);
      case EnvelopeMember::requestID: return readText(envelope_.requestID);
      case EnvelopeMember::nonce: return readText(envelope_.nonce);
      case EnvelopeMember::operation: {
        std::optional<PellucorOperation> operation;
        readEnumeration(operation, &operationFromWireName);
        if (operation) envelope_.operation = *operation;
        return;
      }
      case EnvelopeMember::target:
        return readObject<TargetMember>(kTargetMembers, kRequiredTargetMembers,
                                        [this](TargetMember field) { readTargetMember(field); });
      case EnvelopeMember::params:
        return readObject<ParamsMember>(kParamsMembers, 0, [this](ParamsMember field) { readParamsMember(field); });
    }
  }

  void readTargetMember(TargetMember member) {
    Target& target = envelope_.target;
    switch (member) {
      case TargetMember::pid: return readInteger(target.pid);
      case TargetMember::bundleID: return readText(target.bundleID);
      case TargetMember::frontmostRequired: return readBool(target.frontmostRequired);
      case TargetMember::surface: return readText(target.surface);
      case TargetMember::applicationID: return readText(target.applicationID);
      case TargetMember::applicationName: return readText(target.applicationName);
      case TargetMember::applicationRevision: return readText(target.applicationRevision);
      case TargetMember::windowID: {
        if (readNull()) return;
        std::uint32_t windowID = 0;
        readInteger(windowID);
        target.windowID = windowID;
        return;
      }
    }
  }

  void readParamsMember(ParamsMember member) {
    Params& params = envelope_.params;
    switch (member) {
      case ParamsMember::key:
        if (!readNull()) readEnumeration(params.key, &physicalKeyFromWireName);
        return;
      case ParamsMember::modifiers: {
        if (readNull()) return;
        if (reader_.kind() != Kind::array) {
          mismatch_ = true;
          reader_.value();
          return;
        }
        auto& list = params.modifiers.emplace();
        reader_.enter();
        while (reader_.element()) {
          std::optional<KeyModifier> modifier;
          readEnumeration(modifier, &modifierFromWireName);
          if (modifier) list.push_back(*modifier);
        }
        return;
      }
    }
  }

  // Each reader below consumes the value at the reader's position, whatever
  // it holds, and marks the request when it does not decode.

  // True (having consumed it) when the value is null: an absent optional.
  bool readNull() {
    if (reader_.kind() != Kind::null) return false;
    reader_.value();
    return true;
  }

  void readText(std::string& out) {
    const Value value = reader_.value();
    if (value.kind != Kind::string) {
      mismatch_ = true;
      return;
    }
    out = accepted_json::text(value, scratch_);
  }

  template <typename Integer>
  void readInteger(Integer& out) {
    const Value value = reader_.value();
    // Parsed as signed 64-bit first, so that "-0" and out-of-range values of
    // any length are judged alike; from_chars never wraps.
    std::int64_t wide = 0;
    const char* end = value.raw.data() + value.raw.size();
    const auto result = std::from_chars(value.raw.data(), end, wide);
    if (value.kind != Kind::integer || result.ec != std::errc{} || result.ptr != end ||
        wide < std::numeric_limits<Integer>::min() || wide > std::numeric_limits<Integer>::max()) {
      mismatch_ = true;
      return;
    }
    out = static_cast<Integer>(wide);
  }

  void readBool(bool& out) {
    const Value value = reader_.value();
    if (value.kind != Kind::boolean) {
      mismatch_ = true;
      return;
    }
    out = value.raw == "true";
  }

  template <typename Enumeration>
  void readEnumeration(std::optional<Enumeration>& out, std::optional<Enumeration> (*fromWireName)(std::string_view)) {
    const Value value = reader_.value();
    if (value.kind == Kind::string) out = fromWireName(accepted_json::text(value, scratch_));
    if (!out) mismatch_ = true;
  }

  accepted_json::Reader reader_;
  Envelope envelope_;
  bool mismatch_ = false;
  std::string scratch_;
  std::string keyScratch_;
};

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
  return text::isSeparator(scalar) || (scalar >= 0x09 && scalar <= 0x0D) || scalar == 0x85;
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
  StrictJSONScanner(bytes).validate();
  Envelope envelope = RequestDecoder(bytes).decode();
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
