#include "client/request_building.hpp"

#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <system_error>
#include <utility>

#include "text/base64.hpp"
#include "wire/json_encoder.hpp"

namespace pellucor::client {
namespace {

// getentropy delivers at most 256 bytes per call.
constexpr std::size_t kLargestEntropyRead = 256;

}  // namespace

void SystemRandomSource::fill(unsigned char* bytes, std::size_t size) {
  for (std::size_t done = 0; done < size;) {
    const std::size_t piece = std::min(kLargestEntropyRead, size - done);
    if (getentropy(bytes + done, piece) != 0) {
      throw std::system_error(errno, std::generic_category(), "getentropy");
    }
    done += piece;
  }
}

std::string newRequestID(RandomSource& random) {
  std::array<unsigned char, 16> bytes{};
  random.fill(bytes.data(), bytes.size());
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0f) | 0x40);  // version 4
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3f) | 0x80);  // variant 1
  constexpr std::string_view kHexDigits = "0123456789abcdef";
  std::string id;
  id.reserve(36);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) id.push_back('-');
    id.push_back(kHexDigits[bytes[i] >> 4]);
    id.push_back(kHexDigits[bytes[i] & 0xf]);
  }
  return id;
}

std::string newNonce(RandomSource& random) {
  std::array<unsigned char, 32> bytes{};
  random.fill(bytes.data(), bytes.size());
  std::string nonce = text::encodeBase64(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  std::erase(nonce, '=');
  std::replace(nonce.begin(), nonce.end(), '+', '-');
  std::replace(nonce.begin(), nonce.end(), '/', '_');
  return nonce;
}

Request newRequest(RandomSource& random, PellucorOperation operation, Target target, std::optional<PhysicalKey> key,
                   std::vector<KeyModifier> modifiers) {
  Request request;
  request.requestID = newRequestID(random);
  request.nonce = newNonce(random);
  request.operation = operation;
  request.target = std::move(target);
  request.key = key;
  request.modifiers = std::move(modifiers);
  return request;
}

std::string requestLine(const Request& request) {
  const Target& t = request.target;
  JSONValue::Object target{
      {"pid", JSONValue(std::int64_t{t.pid})},
      {"bundle_id", JSONValue(t.bundleID)},
      {"frontmost_required", JSONValue(t.frontmostRequired)},
      {"surface", JSONValue(t.surface)},
      {"application_id", JSONValue(t.applicationID)},
      {"application_name", JSONValue(t.applicationName)},
      {"application_revision", JSONValue(t.applicationRevision)},
  };
  if (t.windowID) target.emplace("window_id", JSONValue(std::int64_t{*t.windowID}));

  JSONValue::Object params;
  if (request.key) params.emplace("key", JSONValue(wireName(*request.key)));
  if (request.operation == PellucorOperation::hotkey || !request.modifiers.empty()) {
    JSONValue::Array modifiers;
    for (const KeyModifier modifier : request.modifiers) modifiers.emplace_back(wireName(modifier));
    params.emplace("modifiers", JSONValue(std::move(modifiers)));
  }

  const JSONValue line(JSONValue::Object{
      {"protocol", JSONValue(kProtocolVersion)},
      {"request_id", JSONValue(request.requestID)},
      {"nonce", JSONValue(request.nonce)},
      {"operation", JSONValue(wireName(request.operation))},
      {"target", JSONValue(std::move(target))},
      {"params", JSONValue(std::move(params))},
  });
  return json::encode(line) + "\n";
}

}  // namespace pellucor::client
