#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wire/enumerations.hpp"
#include "wire/json_value.hpp"
#include "wire/pellucor_error.hpp"

namespace pellucor {

// The protocol identifier of this version of the wire protocol.
inline constexpr std::string_view kProtocolVersion = "zor-vane.pellucor/v2";

// The caller's description of the application and window to act on.
struct Target {
  std::int32_t pid = 0;
  std::string bundleID;
  bool frontmostRequired = false;
  std::optional<std::uint32_t> windowID;
  std::string surface;
  std::string applicationID;
  std::string applicationName;
  std::string applicationRevision;
};

// The target as the helper observed and verified it.
struct TargetObservation {
  std::int32_t pid = 0;
  std::string bundleID;
  std::optional<std::uint32_t> windowID;
  std::string surface;
  std::string applicationID;
  std::string applicationName;
  std::string applicationRevision;
};

// One decoded and validated request; built only by request intake.
struct Request {
  std::string requestID;
  std::string nonce;
  PellucorOperation operation = PellucorOperation::observeAX;
  Target target;
  std::optional<PhysicalKey> key;
  std::vector<KeyModifier> modifiers;
};

// The single record written to standard output in request mode.
struct Response {
  std::string protocolVersion{kProtocolVersion};
  std::string requestID;
  std::string nonce;
  bool ok = false;
  // Plain text: the fallback response carries "parse", which names no operation.
  std::string operation;
  std::optional<TargetObservation> target;
  std::int64_t durationMS = 0;
  std::optional<JSONValue> result;
  std::optional<PellucorError> error;
};

// Field-wise equality; texts compare by canonical equivalence.
bool operator==(const Target& a, const Target& b);
bool operator==(const TargetObservation& a, const TargetObservation& b);
bool operator==(const Request& a, const Request& b);
bool operator==(const Response& a, const Response& b);

}  // namespace pellucor
