#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "image/image_routines.hpp"

namespace pellucor {
namespace {

struct DigestCase {
  std::string name;
  std::string input;
  std::string hex;
};

// A message of several MiB, so that an implementation that feeds its input in
// pieces crosses many piece and block boundaries.
std::string severalMebibytes() {
  std::string bytes(5 * 1024 * 1024 + 3, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(((i * 131) ^ (i >> 9)) & 0xff);
  return bytes;
}

// The published SHA-256 examples (FIPS 180-2 and its test vectors), and one
// long message whose digest was computed with another implementation.
const DigestCase kVectors[] = {
    {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"two_blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"million_a", std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    {"zero_bytes", std::string(3, '\0'), "709e80c88487a2411e1ee4dfb9f22a861492d20c4765150c0c794abd70f8147c"},
    {"five_mebibytes_and_three", severalMebibytes(), "da5711afe8cc90c6fc2f5b323c0e1b5eea4083b0e7e6532fdfca03a00bd42e90"},
};

class SHA256Test : public ::testing::TestWithParam<DigestCase> {};

TEST_P(SHA256Test, MatchesPublishedDigest) { EXPECT_EQ(sha256Hex(GetParam().input), GetParam().hex); }

INSTANTIATE_TEST_SUITE_P(Vectors, SHA256Test, ::testing::ValuesIn(kVectors),
                         [](const auto& row) { return row.param.name; });

// The digest of arbitrary binary bytes agrees with the system's own tool
// (sha256sum on Linux, shasum on macOS).
TEST(SHA256AgainstSystemTool, AgreesWithSha256sum) {
  std::string bytes;
  for (int i = 0; i < 70000; ++i) bytes.push_back(static_cast<char>((i * 7919) ^ (i >> 5)));
  const auto path = std::filesystem::temp_directory_path() /
                    ("pellucor_sha256_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".bin");
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  const std::string quoted = "'" + path.string() + "'";
  const std::string command =
      "if command -v sha256sum >/dev/null; then sha256sum " + quoted + "; else shasum -a 256 " + quoted + "; fi";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  ASSERT_NE(pipe, nullptr);
  char line[65] = {};
  ASSERT_EQ(std::fread(line, 1, 64, pipe.get()), 64u);
  std::filesystem::remove(path);
  EXPECT_EQ(sha256Hex(bytes), std::string(line, 64));
}

}  // namespace
}  // namespace pellucor
