#include "wire/json_encoder.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

namespace pellucor {
namespace {

TargetObservation exampleObservation(std::optional<std::uint32_t> windowID) {
  return TargetObservation{501,      "com.brevant.zorvane",      windowID,  "plugin.application",
                           "0123456789abcdef01234567", "Example", "1.0"};
}

TEST(ResponseEncoding, FailureHasExactlySevenMembersInKeyOrderAndNoNull) {
  Response response;
  response.requestID = "00000000-0000-4000-8000-000000000000";
  response.nonce = "";
  response.operation = "parse";
  response.error = PellucorError("read_timeout", "stdin did not close before the startup deadline");
  EXPECT_EQ(json::encode(response),
            R"({"duration_ms":0,"error":{"code":"read_timeout","message":"stdin did not close before the )"
            R"(startup deadline","retryable":false},"nonce":"","ok":false,"operation":"parse",)"
            R"("protocol":"zor-vane.pellucor/v2","request_id":"00000000-0000-4000-8000-000000000000"})");
}

TEST(ResponseEncoding, SuccessHasTargetAndResultAndNoError) {
  Response response;
  response.requestID = "6f1c2a4e-8b3d-4f7a-9c2e-1d5b7a9e3c40";
  response.nonce = std::string(43, 'A');
  response.ok = true;
  response.operation = "capture_target_window";
  response.target = exampleObservation(7);
  response.durationMS = 42;
  response.result = JSONValue(JSONValue::Object{{"window_id", JSONValue(std::int64_t{7})}});
  EXPECT_EQ(json::encode(response),
            R"({"duration_ms":42,"nonce":"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA","ok":true,)"
            R"("operation":"capture_target_window","protocol":"zor-vane.pellucor/v2",)"
            R"("request_id":"6f1c2a4e-8b3d-4f7a-9c2e-1d5b7a9e3c40","result":{"window_id":7},)"
            R"("target":{"application_id":"0123456789abcdef01234567","application_name":"Example",)"
            R"("application_revision":"1.0","bundle_id":"com.brevant.zorvane","pid":501,)"
            R"("surface":"plugin.application","window_id":7}})");
}

TEST(ResponseEncoding, TooLargeFailureKeepsTargetBesideError) {
  Response response;
  response.requestID = "r";
  response.operation = "observe_ax";
  response.target = exampleObservation(std::nullopt);
  response.error = PellucorError("response_too_large", "response exceeds 16 MiB");
  EXPECT_EQ(json::encode(response),
            R"({"duration_ms":0,"error":{"code":"response_too_large","message":"response exceeds 16 MiB",)"
            R"("retryable":false},"nonce":"","ok":false,"operation":"observe_ax","protocol":"zor-vane.pellucor/v2",)"
            R"("request_id":"r","target":{"application_id":"0123456789abcdef01234567","application_name":"Example",)"
            R"("application_revision":"1.0","bundle_id":"com.brevant.zorvane","pid":501,)"
            R"("surface":"plugin.application"}})");
}

TEST(ObservationEncoding, AbsentWindowIsLeftOutAndZeroIsWritten) {
  EXPECT_EQ(json::encode(exampleObservation(std::nullopt)),
            R"({"application_id":"0123456789abcdef01234567","application_name":"Example",)"
            R"("application_revision":"1.0","bundle_id":"com.brevant.zorvane","pid":501,)"
            R"("surface":"plugin.application"})");
  EXPECT_EQ(json::encode(exampleObservation(0)),
            R"({"application_id":"0123456789abcdef01234567","application_name":"Example",)"
            R"("application_revision":"1.0","bundle_id":"com.brevant.zorvane","pid":501,)"
            R"("surface":"plugin.application","window_id":0})");
  EXPECT_NE(json::encode(exampleObservation(4294967295u)).find(R"("window_id":4294967295})"),
            std::string::npos);
}

TEST(ErrorEncoding, WritesAllThreeMembers) {
  EXPECT_EQ(json::encode(PellucorError("a_code", "a message", true)),
            R"({"code":"a_code","message":"a message","retryable":true})");
}

struct StringCase {
  const char* name;
  std::string text;
  std::string encoded;
};

TEST(StringEncoding, EscapesOnlyWhatJsonRequires) {
  const StringCase cases[] = {
      {"slash stays unescaped", "/Applications/Zorvane.app", R"("/Applications/Zorvane.app")"},
      {"quotation mark", "say \"hi\"", R"("say \"hi\"")"},
      {"reverse solidus", "a\\b", R"("a\\b")"},
      {"short escapes", "\b\f\n\r\t", R"("\b\f\n\r\t")"},
      {"NUL", std::string(1, '\0'), R"("\u0000")"},
      {"other controls", "\x01\x1F", R"("\u0001\u001f")"},
      {"delete passes through", "\x7F", "\"\x7F\""},
      {"non-ASCII passes through", "\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80", "\"\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80\""},
      {"line separator passes through", "\xE2\x80\xA8", "\"\xE2\x80\xA8\""},
      {"empty", "", R"("")"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(json::encode(JSONValue(c.text)), c.encoded);
  }
}

TEST(StringEncoding, BytesThatAreNotUtf8AreNeverWritten) {
  const struct {
    const char* name;
    JSONValue value;
  } cases[] = {
      {"FF in a value", JSONValue("ab\xFF")},
      {"encoded surrogate", JSONValue("\xED\xA0\x80")},
      {"cut-off sequence at the end", JSONValue("caf\xC3")},
      {"overlong slash", JSONValue("\xC0\xAF")},
      {"bad key", JSONValue(JSONValue::Object{{"\x80", JSONValue()}})},
      {"deep in an array", JSONValue(JSONValue::Array{JSONValue("ok"), JSONValue(JSONValue::Array{JSONValue("\xF8")})})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW(json::encode(c.value), json::EncodingError);
    EXPECT_THROW(json::measuredSize(c.value), json::EncodingError);
  }
  EXPECT_THROW(json::measuredStringSize("\xFF"), json::EncodingError);
  Response response;
  response.target = exampleObservation(1);
  response.target->bundleID = "com.\xFE";
  EXPECT_THROW(json::encode(response), json::EncodingError);
  EXPECT_THROW(json::measuredSize(response), json::EncodingError);
}

TEST(ValueEncoding, ObjectKeysAreSortedByBytesAtEveryDepth) {
  const JSONValue value(JSONValue::Object{
      {"b", JSONValue(JSONValue::Object{{"z", JSONValue(true)}, {"a", JSONValue(false)}})},
      {"a", JSONValue(JSONValue::Array{JSONValue(JSONValue::Object{{"y", JSONValue()}, {"x", JSONValue()}})})},
      {"a_b", JSONValue(std::int64_t{1})},
      {"B", JSONValue(std::int64_t{2})},
      {"\xC3\xA9", JSONValue(std::int64_t{3})},
  });
  EXPECT_EQ(json::encode(value),
            R"({"B":2,"a":[{"x":null,"y":null}],"a_b":1,"b":{"a":false,"z":true},)"
            "\"\xC3\xA9\":3}");
}

TEST(ValueEncoding, ScalarsAndEmptyContainers) {
  EXPECT_EQ(json::encode(JSONValue(std::numeric_limits<std::int64_t>::min())), "-9223372036854775808");
  EXPECT_EQ(json::encode(JSONValue(std::numeric_limits<std::int64_t>::max())), "9223372036854775807");
  EXPECT_EQ(json::encode(JSONValue(std::int64_t{0})), "0");
  EXPECT_EQ(json::encode(JSONValue(true)), "true");
  EXPECT_EQ(json::encode(JSONValue()), "null");
  EXPECT_EQ(json::encode(JSONValue(JSONValue::Object{})), "{}");
  EXPECT_EQ(json::encode(JSONValue(JSONValue::Array{})), "[]");
  std::string appended = "x";
  json::appendEncoded(appended, JSONValue(JSONValue::Array{JSONValue("/"), JSONValue(std::int64_t{-1})}));
  EXPECT_EQ(appended, R"(x["/",-1])");
}

// An independent encoding of the same tree: nlohmann::json's compact dump
// (sorted keys, lower-case hexadecimal escapes), the form the encoder must
// produce byte for byte.
nlohmann::json independent(const JSONValue& value) {
  switch (value.kind()) {
    case JSONValue::Kind::string: return value.asString();
    case JSONValue::Kind::integer: return value.asInteger();
    case JSONValue::Kind::boolean: return value.asBool();
    case JSONValue::Kind::null: return nullptr;
    case JSONValue::Kind::array: {
      auto array = nlohmann::json::array();
      for (const auto& element : value.asArray()) array.push_back(independent(element));
      return array;
    }
    case JSONValue::Kind::object: {
      auto object = nlohmann::json::object();
      for (const auto& [key, member] : value.asObject()) object[key] = independent(member);
      return object;
    }
  }
  return nullptr;
}

std::string withEscapedSlashes(const std::string& encoded) {
  std::string out;
  for (const char c : encoded) {
    if (c == '/') out += '\\';
    out += c;
  }
  return out;
}

struct MeasureCase {
  const char* name;
  JSONValue value;
};

TEST(Measuring, EqualsTheLengthOfTheEncodingWithEscapedSlashes) {
  const MeasureCase cases[] = {
      {"null", JSONValue()},
      {"negative integer", JSONValue(std::int64_t{-1234567890123})},
      {"smallest integer", JSONValue(std::numeric_limits<std::int64_t>::min())},
      {"false", JSONValue(false)},
      {"one slash", JSONValue("/")},
      {"Base64 full of slashes", JSONValue("a/b//c///" + std::string(100, '/'))},
      {"every control byte",
       JSONValue([] {
         std::string s;
         for (int c = 0; c < 0x20; ++c) s += static_cast<char>(c);
         return s;
       }())},
      {"quotes and reverse solidus", JSONValue("\"\\/\\\"")},
      {"non-ASCII", JSONValue("\xC3\xA9\xE2\x80\xA8\xF0\x9F\x98\x80")},
      {"slash in a key",
       JSONValue(JSONValue::Object{{"a/b", JSONValue("c/d")}, {"\n", JSONValue(JSONValue::Array{})}})},
      {"nested tree",
       JSONValue(JSONValue::Object{
           {"children", JSONValue(JSONValue::Array{
                            JSONValue(JSONValue::Object{{"role", JSONValue("AXButton")},
                                                        {"title", JSONValue("Open /tmp")},
                                                        {"enabled", JSONValue(true)}}),
                            JSONValue(), JSONValue(std::int64_t{-0}),
                        })},
           {"frame", JSONValue(JSONValue::Object{{"x", JSONValue(std::int64_t{-10})},
                                                 {"width", JSONValue(std::int64_t{1920})}})},
       })},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string reference = independent(c.value).dump();
    EXPECT_EQ(json::encode(c.value), reference);
    EXPECT_EQ(json::measuredSize(c.value), withEscapedSlashes(reference).size());
    if (c.value.isString()) {
      EXPECT_EQ(json::measuredStringSize(c.value.asString()), withEscapedSlashes(reference).size());
    }
  }
}

TEST(Measuring, ResponseCountsEverySlashTwice) {
  Response response;
  response.requestID = "00000000-0000-4000-8000-000000000000";
  response.nonce = "a-_b";
  response.ok = true;
  response.operation = "observe_ax";
  response.target = exampleObservation(12);
  response.target->applicationName = "A/B";
  response.durationMS = 1234;
  response.result = JSONValue(JSONValue::Object{{"png_base64", JSONValue("iVBOR//+/w==")}});
  const std::string encoded = json::encode(response);
  const auto slashes = static_cast<std::size_t>(std::count(encoded.begin(), encoded.end(), '/'));
  EXPECT_EQ(slashes, 5u);  // the protocol identifier, the name and three in the result
  EXPECT_EQ(json::measuredSize(response), encoded.size() + slashes);

  response.error = PellucorError("x/y", "m");
  EXPECT_EQ(json::measuredSize(response), json::encode(response).size() + slashes + 1);
}

}  // namespace
}  // namespace pellucor
