// Feeds arbitrary bytes to the strict scanner and checks what it accepts, as
// read back through accepted_json, against an independent JSON parser
// (nlohmann::json), then checks the response encoder on the accepted tree:
// - nothing but a scanner error escapes, never retryable;
// - every accepted document is valid JSON with the same strings, integers,
//   literals, members and elements;
// - the encoding of the tree is valid JSON that reads back as the same tree,
//   and its measured size is its length plus one byte for every "/".

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "intake/accepted_json.hpp"
#include "intake/strict_json_scanner.hpp"
#include "wire/json_encoder.hpp"

namespace {

using namespace pellucor;
using accepted_json::Kind;
using accepted_json::Value;

void check(bool condition) {
  if (!condition) std::abort();
}

constexpr std::array kScannerErrors = {
    scanner_errors::kNotUtf8,       scanner_errors::kMalformed,      scanner_errors::kTrailingData,
    scanner_errors::kTooDeep,       scanner_errors::kTooManyMembers, scanner_errors::kDuplicateKey,
    scanner_errors::kStringTooLong, scanner_errors::kNonInteger,
};

bool isScannerError(const PellucorError& error) {
  for (const auto& known : kScannerErrors) {
    if (error.code == known.code && error.message == known.message) return !error.retryable;
  }
  return false;
}

std::string decoded(const Value& value) {
  std::string scratch;
  return std::string(accepted_json::text(value, scratch));
}

// The same tree as the independent parser read it.
bool sameTree(const Value& scanned, const nlohmann::json& parsed) {
  switch (scanned.kind) {
    case Kind::string:
      return parsed.is_string() && parsed.get_ref<const std::string&>() == decoded(scanned);
    case Kind::integer:
      // Integers beyond 64 bits come back as floating point from the other
      // parser; only those within range can be compared exactly.
      if (parsed.is_number_integer()) return parsed.dump() == (scanned.raw == "-0" ? "0" : scanned.raw);
      return parsed.is_number_float();
    case Kind::boolean:
      return parsed.is_boolean() && parsed.get<bool>() == (scanned.raw == "true");
    case Kind::null:
      return parsed.is_null();
    case Kind::array: {
      if (!parsed.is_array()) return false;
      accepted_json::Reader elements(scanned);
      elements.enter();
      std::size_t count = 0;
      while (elements.element()) {
        if (count >= parsed.size() || !sameTree(elements.value(), parsed[count])) return false;
        ++count;
      }
      return count == parsed.size();
    }
    case Kind::object: {
      if (!parsed.is_object()) return false;
      accepted_json::Reader members(scanned);
      members.enter();
      std::string_view key;
      std::string scratch;
      std::size_t count = 0;
      while (members.member(key, scratch)) {
        const auto found = parsed.find(std::string(key));
        if (found == parsed.end() || !sameTree(members.value(), *found)) return false;
        ++count;
      }
      return count == parsed.size();
    }
  }
  return false;
}

// True when some integer of the tree is beyond the range of a double, which
// the independent parser refuses as an overflow although the scanner accepts
// integers of any length.
bool holdsIntegerBeyondDouble(const Value& scanned) {
  switch (scanned.kind) {
    case Kind::integer: {
      const std::size_t digits = scanned.raw.size() - (scanned.raw.front() == '-' ? 1 : 0);
      return digits > 308;
    }
    case Kind::array: {
      accepted_json::Reader elements(scanned);
      elements.enter();
      while (elements.element()) {
        if (holdsIntegerBeyondDouble(elements.value())) return true;
      }
      return false;
    }
    case Kind::object: {
      accepted_json::Reader members(scanned);
      members.enter();
      std::string_view key;
      std::string scratch;
      while (members.member(key, scratch)) {
        if (holdsIntegerBeyondDouble(members.value())) return true;
      }
      return false;
    }
    case Kind::string:
    case Kind::boolean:
    case Kind::null:
      return false;
  }
  return false;
}

// The scanned tree as a result tree; integers beyond 64 bits stay text.
JSONValue toJSONValue(const Value& scanned) {
  switch (scanned.kind) {
    case Kind::string:
      return JSONValue(decoded(scanned));
    case Kind::integer: {
      std::int64_t value = 0;
      const char* end = scanned.raw.data() + scanned.raw.size();
      const auto result = std::from_chars(scanned.raw.data(), end, value);
      if (result.ec == std::errc{} && result.ptr == end) return JSONValue(value);
      return JSONValue(scanned.raw);
    }
    case Kind::boolean:
      return JSONValue(scanned.raw == "true");
    case Kind::null:
      return JSONValue();
    case Kind::array: {
      JSONValue::Array elements;
      accepted_json::Reader cursor(scanned);
      cursor.enter();
      while (cursor.element()) elements.push_back(toJSONValue(cursor.value()));
      return JSONValue(std::move(elements));
    }
    case Kind::object: {
      JSONValue::Object members;
      accepted_json::Reader cursor(scanned);
      cursor.enter();
      std::string_view key;
      std::string scratch;
      while (cursor.member(key, scratch)) {
        std::string name(key);
        members.emplace(std::move(name), toJSONValue(cursor.value()));
      }
      return JSONValue(std::move(members));
    }
  }
  return JSONValue();
}

// The independent parser's tree as a result tree, for the read-back check.
JSONValue fromParsed(const nlohmann::json& parsed) {
  if (parsed.is_string()) return JSONValue(parsed.get<std::string>());
  if (parsed.is_boolean()) return JSONValue(parsed.get<bool>());
  if (parsed.is_number_unsigned()) return JSONValue(static_cast<std::int64_t>(parsed.get<std::uint64_t>()));
  if (parsed.is_number_integer()) return JSONValue(parsed.get<std::int64_t>());
  if (parsed.is_array()) {
    JSONValue::Array elements;
    for (const auto& element : parsed) elements.push_back(fromParsed(element));
    return JSONValue(std::move(elements));
  }
  if (parsed.is_object()) {
    JSONValue::Object members;
    for (const auto& [key, member] : parsed.items()) members.emplace(key, fromParsed(member));
    return JSONValue(std::move(members));
  }
  check(parsed.is_null());
  return JSONValue();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    StrictJSONScanner(bytes).validate();
  } catch (const PellucorError& error) {
    check(isScannerError(error));
    return 0;
  }
  const Value scanned = accepted_json::Reader(bytes).value();
  const auto parsed = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
  if (parsed.is_discarded()) {
    check(holdsIntegerBeyondDouble(scanned));
  } else {
    check(sameTree(scanned, parsed));
  }

  const JSONValue tree = toJSONValue(scanned);
  const std::string encoded = json::encode(tree);
  const auto slashes = static_cast<std::size_t>(std::count(encoded.begin(), encoded.end(), '/'));
  check(json::measuredSize(tree) == encoded.size() + slashes);
  const auto reread = nlohmann::json::parse(encoded, nullptr, false);
  check(!reread.is_discarded());
  check(fromParsed(reread) == tree);
  return 0;
}
