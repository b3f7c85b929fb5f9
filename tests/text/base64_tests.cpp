#include "text/base64.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace pellucor::text {
namespace {

TEST(Base64, EncodesTheRfc4648TestVectors) {
  const struct {
    std::string_view input;
    std::string_view encoded;
  } vectors[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
  };
  for (const auto& v : vectors) {
    SCOPED_TRACE(std::string(v.input));
    EXPECT_EQ(encodeBase64(v.input), v.encoded);
    EXPECT_EQ(base64Length(v.input.size()), v.encoded.size());
  }
}

TEST(Base64, UsesTheStandardAlphabetForTheLastTwoValues) {
  EXPECT_EQ(encodeBase64("\xFB\xFF"), "+/8=");
  EXPECT_EQ(encodeBase64(std::string_view("\x00\x00\x00", 3)), "AAAA");
  EXPECT_EQ(encodeBase64("\xFF\xFF\xFF"), "////");
}

// The URL-safe unpadded spelling of `bytes`, built from the standard encoder.
std::string urlSafeUnpadded(std::string_view bytes) {
  std::string text = encodeBase64(bytes);
  text.erase(std::remove(text.begin(), text.end(), '='), text.end());
  std::replace(text.begin(), text.end(), '+', '-');
  std::replace(text.begin(), text.end(), '/', '_');
  return text;
}

TEST(NonceSpelling, AcceptsTheSpellingOfEveryThirtyTwoBytes) {
  for (int seed = 0; seed < 256; ++seed) {
    std::string bytes(32, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      bytes[i] = static_cast<char>((seed * 131 + static_cast<int>(i) * 37 + (seed ^ static_cast<int>(i))) & 0xFF);
    }
    const std::string spelling = urlSafeUnpadded(bytes);
    ASSERT_EQ(spelling.size(), 43u);
    EXPECT_TRUE(isCanonicalUrlSafeBase64Of32Bytes(spelling)) << spelling;
  }
  EXPECT_TRUE(isCanonicalUrlSafeBase64Of32Bytes(urlSafeUnpadded(std::string(32, '\xFF'))));
}

TEST(NonceSpelling, LastCharacterMustLeaveTheSpareBitsZero) {
  const std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  for (std::size_t value = 0; value < alphabet.size(); ++value) {
    const std::string text = std::string(42, 'A') + alphabet[value];
    EXPECT_EQ(isCanonicalUrlSafeBase64Of32Bytes(text), value % 4 == 0) << text;
  }
}

TEST(NonceSpelling, RefusesEverythingElse) {
  const std::string valid(43, 'A');
  const struct {
    const char* name;
    std::string text;
  } refused[] = {
      {"empty", ""},
      {"42 characters", std::string(42, 'A')},
      {"44 characters", std::string(44, 'A')},
      {"padded", valid + "="},
      {"equals sign inside", std::string(21, 'A') + "=" + std::string(21, 'A')},
      {"plus", std::string(21, 'A') + "+" + std::string(21, 'A')},
      {"slash", std::string(21, 'A') + "/" + std::string(21, 'A')},
      {"space", std::string(21, 'A') + " " + std::string(21, 'A')},
      {"dot", std::string(42, 'A') + "."},
      {"non-ASCII letter of two bytes", std::string(41, 'A') + "\xC3\xA9"},
      {"NUL", std::string(21, 'A') + std::string(1, '\0') + std::string(21, 'A')},
      {"high byte", std::string(21, 'A') + "\xC1" + std::string(21, 'A')},
  };
  EXPECT_TRUE(isCanonicalUrlSafeBase64Of32Bytes(valid));
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(isCanonicalUrlSafeBase64Of32Bytes(c.text));
  }
}

}  // namespace
}  // namespace pellucor::text
