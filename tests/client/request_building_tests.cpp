#include "client/request_building.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "client/example_target.hpp"
#include "intake/protocol_parser.hpp"
#include "text/base64.hpp"

namespace pellucor::client {
namespace {

// Hands out the same byte over and over.
class ConstantRandom final : public RandomSource {
 public:
  explicit ConstantRandom(unsigned char byte) : byte_(byte) {}
  void fill(unsigned char* bytes, std::size_t size) override {
    for (std::size_t i = 0; i < size; ++i) bytes[i] = byte_;
  }

 private:
  unsigned char byte_;
};

TEST(RequestBuilding, IdentifierIsVersion4AndVariant1WhateverTheBytes) {
  const std::regex uuid4("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
  for (const unsigned byte : {0x00u, 0xffu, 0x5au}) {
    ConstantRandom random(static_cast<unsigned char>(byte));
    EXPECT_TRUE(std::regex_match(newRequestID(random), uuid4)) << byte;
  }
  ConstantRandom zeros(0x00);
  EXPECT_EQ(newRequestID(zeros), "00000000-0000-4000-8000-000000000000");
}

TEST(RequestBuilding, NonceIsCanonicalUnpaddedUrlSafeBase64Of32Bytes) {
  for (const unsigned byte : {0x00u, 0xffu, 0xfbu}) {
    ConstantRandom random(static_cast<unsigned char>(byte));
    EXPECT_TRUE(text::isCanonicalUrlSafeBase64Of32Bytes(newNonce(random))) << byte;
  }
  SystemRandomSource system;
  EXPECT_NE(newNonce(system), newNonce(system));
}

// Every line the builder writes for a well-formed request is one the helper's
// own intake decodes back into the same request.
TEST(RequestBuilding, TheHelpersIntakeDecodesEveryOperationsLine) {
  struct Case {
    const char* name;
    PellucorOperation operation;
    std::optional<std::uint32_t> windowID;
    std::optional<PhysicalKey> key;
    std::vector<KeyModifier> modifiers;
  };
  const Case cases[] = {
      {"observe_ax", PellucorOperation::observeAX, std::nullopt, std::nullopt, {}},
      {"enumerate without a window", PellucorOperation::enumerateTargetWindows, std::nullopt, std::nullopt, {}},
      {"enumerate naming window 0", PellucorOperation::enumerateTargetWindows, 0u, std::nullopt, {}},
      {"capture", PellucorOperation::captureTargetWindow, 4294967295u, std::nullopt, {}},
      {"key", PellucorOperation::key, std::nullopt, PhysicalKey::returnKey, {}},
      {"hotkey without modifiers", PellucorOperation::hotkey, std::nullopt, PhysicalKey::s, {}},
      {"hotkey with three", PellucorOperation::hotkey, 8841u, PhysicalKey::pageUp,
       {KeyModifier::command, KeyModifier::shift, KeyModifier::option}},
  };
  SystemRandomSource random;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Target target = exampleTarget();
    target.windowID = c.windowID;
    const Request request = newRequest(random, c.operation, target, c.key, c.modifiers);
    const std::string line = requestLine(request);
    ASSERT_EQ(line.back(), '\n');
    ASSERT_EQ(line.find('\n'), line.size() - 1);
    EXPECT_EQ(ProtocolParser::parse(std::string_view(line).substr(0, line.size() - 1)), request);
  }
}

TEST(RequestBuilding, ParamsHoldWhatTheRequestHoldsEvenWhenTheHelperRefusesIt) {
  ConstantRandom random(0x11);
  const Request keyWithModifiers =
      newRequest(random, PellucorOperation::key, exampleTarget(), PhysicalKey::a, {KeyModifier::control});
  EXPECT_NE(requestLine(keyWithModifiers).find(R"("params":{"key":"a","modifiers":["control"]})"),
            std::string::npos);
  const Request observeWithKey = newRequest(random, PellucorOperation::observeAX, exampleTarget(), PhysicalKey::a);
  EXPECT_NE(requestLine(observeWithKey).find(R"("params":{"key":"a"})"), std::string::npos);
  const Request hotkey = newRequest(random, PellucorOperation::hotkey, exampleTarget(), PhysicalKey::a);
  EXPECT_NE(requestLine(hotkey).find(R"("params":{"key":"a","modifiers":[]})"), std::string::npos);
}

}  // namespace
}  // namespace pellucor::client
