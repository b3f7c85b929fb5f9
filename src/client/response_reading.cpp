#include "client/response_reading.hpp"

#include <charconv>
#include <cstdint>
#include <limits>
#include <set>

#include "client/child_process.hpp"
#include "intake/accepted_json.hpp"
#include "intake/strict_json_scanner.hpp"

namespace pellucor::client {
namespace {

constexpr StrictJSONLimits kResponseLimits{.maximumDepth = 32, .maximumStringBytes = kMaximumResponseBytes};

constexpr std::string_view kResponseTooLarge = "response_too_large";

// Builds the value the reader stands before. The scanner has bounded the
// depth, so the recursion is bounded too.
std::optional<JSONValue> build(accepted_json::Reader& reader) {
  switch (reader.kind()) {
    case accepted_json::Kind::string: {
      std::string scratch;
      return JSONValue(std::string(accepted_json::text(reader.value(), scratch)));
    }
    case accepted_json::Kind::integer: {
      const std::string_view raw = reader.value().raw;
      std::int64_t number = 0;
      const auto [end, error] = std::from_chars(raw.data(), raw.data() + raw.size(), number);
      if (error != std::errc() || end != raw.data() + raw.size()) return std::nullopt;
      return JSONValue(number);
    }
    case accepted_json::Kind::boolean: return JSONValue(reader.value().raw == "true");
    case accepted_json::Kind::null: reader.value(); return JSONValue(nullptr);
    case accepted_json::Kind::object: {
      JSONValue::Object object;
      reader.enter();
      std::string_view key;
      std::string scratch;
      while (reader.member(key, scratch)) {
        std::string name(key);
        auto member = build(reader);
        if (!member) return std::nullopt;
        object.emplace(std::move(name), std::move(*member));
      }
      return JSONValue(std::move(object));
    }
    case accepted_json::Kind::array: {
      JSONValue::Array array;
      reader.enter();
      while (reader.element()) {
        auto element = build(reader);
        if (!element) return std::nullopt;
        array.push_back(std::move(*element));
      }
      return JSONValue(std::move(array));
    }
  }
  return std::nullopt;
}

// Reads the members of one closed record: every member must be one of
// `known`, and a missing required member, or one of the wrong kind, is noted
// in `whyNot`.
class Members {
 public:
  Members(const JSONValue::Object& object, std::string_view record, std::string& whyNot)
      : object_(object), record_(record), whyNot_(whyNot) {}

  bool onlyThese(std::initializer_list<std::string_view> known) {
    for (const auto& [key, value] : object_) {
      bool found = false;
      for (const std::string_view name : known) found = found || key == name;
      if (!found) return refuse("unknown member \"" + key + "\"");
    }
    return true;
  }

  const JSONValue* optional(std::string_view name, JSONValue::Kind kind) {
    const auto it = object_.find(name);
    if (it == object_.end()) return nullptr;
    if (it->second.kind() != kind) {
      refuse("member \"" + std::string(name) + "\" has the wrong kind");
      return nullptr;
    }
    return &it->second;
  }

  const JSONValue* required(std::string_view name, JSONValue::Kind kind) {
    if (object_.find(name) == object_.end()) {
      refuse("member \"" + std::string(name) + "\" is missing");
      return nullptr;
    }
    return optional(name, kind);
  }

  bool refuse(const std::string& why) {
    if (whyNot_.empty()) whyNot_ = std::string(record_) + ": " + why;
    return false;
  }
  bool failed() const { return !whyNot_.empty(); }

 private:
  const JSONValue::Object& object_;
  std::string_view record_;
  std::string& whyNot_;
};

std::optional<TargetObservation> decodeTarget(const JSONValue& value, std::string& whyNot) {
  if (!value.isObject()) {
    whyNot = "target: not an object";
    return std::nullopt;
  }
  using Kind = JSONValue::Kind;
  Members m(value.asObject(), "target", whyNot);
  m.onlyThese({"application_id", "application_name", "application_revision", "bundle_id", "pid", "surface",
               "window_id"});
  const JSONValue* applicationID = m.required("application_id", Kind::string);
  const JSONValue* applicationName = m.required("application_name", Kind::string);
  const JSONValue* applicationRevision = m.required("application_revision", Kind::string);
  const JSONValue* bundleID = m.required("bundle_id", Kind::string);
  const JSONValue* pid = m.required("pid", Kind::integer);
  const JSONValue* surface = m.required("surface", Kind::string);
  const JSONValue* windowID = m.optional("window_id", Kind::integer);
  if (m.failed()) return std::nullopt;
  if (pid->asInteger() < 1 || pid->asInteger() > std::numeric_limits<std::int32_t>::max()) {
    m.refuse("pid out of range");
    return std::nullopt;
  }
  if (windowID && (windowID->asInteger() < 0 || windowID->asInteger() > std::numeric_limits<std::uint32_t>::max())) {
    m.refuse("window_id out of range");
    return std::nullopt;
  }
  TargetObservation target;
  target.pid = static_cast<std::int32_t>(pid->asInteger());
  target.bundleID = bundleID->asString();
  if (windowID) target.windowID = static_cast<std::uint32_t>(windowID->asInteger());
  target.surface = surface->asString();
  target.applicationID = applicationID->asString();
  target.applicationName = applicationName->asString();
  target.applicationRevision = applicationRevision->asString();
  return target;
}

std::optional<PellucorError> decodeError(const JSONValue& value, std::string& whyNot) {
  if (!value.isObject()) {
    whyNot = "error: not an object";
    return std::nullopt;
  }
  using Kind = JSONValue::Kind;
  Members m(value.asObject(), "error", whyNot);
  m.onlyThese({"code", "message", "retryable"});
  const JSONValue* code = m.required("code", Kind::string);
  const JSONValue* message = m.required("message", Kind::string);
  const JSONValue* retryable = m.required("retryable", Kind::boolean);
  if (m.failed()) return std::nullopt;
  return PellucorError(code->asString(), message->asString(), retryable->asBool());
}

}  // namespace

std::optional<JSONValue> readStrictJSON(std::string_view text, std::string& whyNot) {
  try {
    StrictJSONScanner(text, kResponseLimits).validate();
  } catch (const PellucorError& refusal) {
    // The scanner's messages name the request line's bounds; its code alone
    // says which rule the text broke.
    whyNot = "strict scan refused it (" + refusal.code + ")";
    return std::nullopt;
  }
  accepted_json::Reader reader(text);
  auto value = build(reader);
  if (!value) whyNot = "an integer does not fit in 64 bits";
  return value;
}

std::optional<Response> decodeResponse(const JSONValue& value, std::string& whyNot) {
  if (!value.isObject()) {
    whyNot = "the response is not an object";
    return std::nullopt;
  }
  using Kind = JSONValue::Kind;
  Members m(value.asObject(), "response", whyNot);
  m.onlyThese({"duration_ms", "error", "nonce", "ok", "operation", "protocol", "request_id", "result", "target"});
  const JSONValue* duration = m.required("duration_ms", Kind::integer);
  const JSONValue* nonce = m.required("nonce", Kind::string);
  const JSONValue* ok = m.required("ok", Kind::boolean);
  const JSONValue* operation = m.required("operation", Kind::string);
  const JSONValue* protocol = m.required("protocol", Kind::string);
  const JSONValue* requestID = m.required("request_id", Kind::string);
  const JSONValue* error = m.optional("error", Kind::object);
  const JSONValue* target = m.optional("target", Kind::object);
  const JSONValue* result = value.find("result");
  if (m.failed()) return std::nullopt;
  if (duration->asInteger() < 0) {
    m.refuse("duration_ms is negative");
    return std::nullopt;
  }

  Response response;
  response.protocolVersion = protocol->asString();
  response.requestID = requestID->asString();
  response.nonce = nonce->asString();
  response.ok = ok->asBool();
  response.operation = operation->asString();
  response.durationMS = duration->asInteger();
  if (error) {
    response.error = decodeError(*error, whyNot);
    if (!response.error) return std::nullopt;
  }
  if (target) {
    response.target = decodeTarget(*target, whyNot);
    if (!response.target) return std::nullopt;
  }
  if (result) response.result = *result;

  const auto refused = [&](const char* why) -> std::optional<Response> {
    m.refuse(why);
    return std::nullopt;
  };
  if (response.ok) {
    if (!target || !result) return refused("ok without target or result");
    if (error) return refused("ok with an error");
  } else {
    if (!error) return refused("not ok without an error");
    if (result) return refused("not ok with a result");
    if (target && response.error->code != kResponseTooLarge) {
      return refused("not ok with a target, other than response_too_large");
    }
  }
  return response;
}

}  // namespace pellucor::client
