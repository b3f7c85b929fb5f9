#include "call_command_line.hpp"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

namespace pellucor::call {
namespace {

TEST(SplitCommandLine, SplitsAsAShellSplitsSimpleWords) {
  using Words = std::vector<std::string>;
  struct Case {
    const char* line;
    std::optional<Words> words;
  };
  const Case cases[] = {
      {"pellucor-sim --desktop d.json", Words{"pellucor-sim", "--desktop", "d.json"}},
      {"  a \t b  ", Words{"a", "b"}},
      {"", Words{}},
      {"'/Applications/Zorvane.app/Contents/MacOS/Zorvane Pellucor'",
       Words{"/Applications/Zorvane.app/Contents/MacOS/Zorvane Pellucor"}},
      {R"(a\ b "c \"d\" \x $e" 'f\g')", Words{"a b", R"(c "d" \x $e)", R"(f\g)"}},
      {"x''y \"\"", Words{"xy", ""}},
      {"'open", std::nullopt},
      {"\"open", std::nullopt},
      {"trailing\\", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(splitCommandLine(c.line), c.words);
  }
}

TEST(ParseCallCommandLine, UsageErrors) {
  const std::vector<std::string_view> target = {"--pid",      "5021",      "--bundle-id",    "com.brevant.zorvane",
                                                "--app-id",   "0123",      "--app-name",     "Ledgerline",
                                                "--app-revision", "1"};
  const auto with = [&](std::vector<std::string_view> head) {
    head.insert(head.end(), target.begin(), target.end());
    return head;
  };
  struct Case {
    const char* name;
    std::vector<std::string_view> arguments;
    bool accepted;
  };
  const Case cases[] = {
      {"an operation", with({"--helper", "h", "observe_ax"}), true},
      {"an operation after --", with({"--helper", "h", "--", "key", "--key", "a"}), false},
      {"key with its options", with({"--helper", "h", "hotkey", "--key", "a", "--modifier", "shift"}), true},
      {"approval", {"--helper", "h", "--approval"}, true},
      {"no helper", with({"observe_ax"}), false},
      {"no operation", with({"--helper", "h"}), false},
      {"two operations", with({"--helper", "h", "observe_ax", "key"}), false},
      {"an unknown operation", with({"--helper", "h", "parse"}), false},
      {"an unknown key", with({"--helper", "h", "key", "--key", "A"}), false},
      {"a pid beyond 32 bits", {"--helper", "h", "key", "--pid", "2147483648"}, false},
      {"no target", {"--helper", "h", "observe_ax"}, false},
      {"approval and an operation", {"--helper", "h", "--approval", "observe_ax"}, false},
      {"a value missing", with({"--helper", "h", "observe_ax", "--window-id"}), false},
      {"an unknown option", with({"--helper", "h", "observe_ax", "--colour", "red"}), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto parsed = parseCallCommandLine(c.arguments);
    EXPECT_EQ(std::holds_alternative<CallCommandLine>(parsed), c.accepted);
  }
}

}  // namespace
}  // namespace pellucor::call
