#include "call_command_line.hpp"

#include <charconv>
#include <cstdint>
#include <limits>

namespace pellucor::call {
namespace {

template <typename Integer>
std::optional<Integer> integerFrom(std::string_view text) {
  Integer value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::vector<std::string>> splitCommandLine(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\n') {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
    } else if (c == '\'') {
      const std::size_t close = line.find('\'', i + 1);
      if (close == std::string_view::npos) return std::nullopt;
      word.append(line.substr(i + 1, close - i - 1));
      i = close;
      inWord = true;
    } else if (c == '"') {
      for (++i;; ++i) {
        if (i >= line.size()) return std::nullopt;
        if (line[i] == '"') break;
        if (line[i] == '\\' && i + 1 < line.size() &&
            (line[i + 1] == '"' || line[i + 1] == '\\' || line[i + 1] == '$')) {
          ++i;
        }
        word.push_back(line[i]);
      }
      inWord = true;
    } else if (c == '\\') {
      if (++i >= line.size()) return std::nullopt;
      word.push_back(line[i]);
      inWord = true;
    } else {
      word.push_back(c);
      inWord = true;
    }
  }
  if (inWord) words.push_back(std::move(word));
  return words;
}

std::variant<CallCommandLine, std::string> parseCallCommandLine(const std::vector<std::string_view>& arguments) {
  CallCommandLine line;
  line.target.frontmostRequired = true;
  line.target.surface = "plugin.application";
  std::optional<std::string_view> operation;
  bool havePid = false, haveBundle = false, haveID = false, haveName = false, haveRevision = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (optionsEnded || !argument.starts_with("--")) {
      if (operation) return "more than one OPERATION: " + std::string(argument);
      operation = argument;
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    if (argument == "--approval") {
      line.approval = true;
      continue;
    }
    if (i + 1 >= arguments.size()) return std::string(argument) + " needs a value";
    const std::string_view value = arguments[++i];
    if (argument == "--helper") {
      auto words = splitCommandLine(value);
      if (!words || words->empty()) return "--helper: not a command line: " + std::string(value);
      line.helper = std::move(*words);
    } else if (argument == "--limit-ms") {
      const auto milliseconds = integerFrom<std::int64_t>(value);
      if (!milliseconds || *milliseconds < 1) return "--limit-ms: not a positive number: " + std::string(value);
      line.limit = std::chrono::milliseconds(*milliseconds);
    } else if (argument == "--png") {
      line.pngPath = std::string(value);
    } else if (argument == "--pid") {
      const auto pid = integerFrom<std::int32_t>(value);
      if (!pid) return "--pid: not a 32-bit integer: " + std::string(value);
      line.target.pid = *pid;
      havePid = true;
    } else if (argument == "--bundle-id") {
      line.target.bundleID = std::string(value);
      haveBundle = true;
    } else if (argument == "--app-id") {
      line.target.applicationID = std::string(value);
      haveID = true;
    } else if (argument == "--app-name") {
      line.target.applicationName = std::string(value);
      haveName = true;
    } else if (argument == "--app-revision") {
      line.target.applicationRevision = std::string(value);
      haveRevision = true;
    } else if (argument == "--surface") {
      line.target.surface = std::string(value);
    } else if (argument == "--window-id") {
      const auto window = integerFrom<std::uint32_t>(value);
      if (!window) return "--window-id: not an unsigned 32-bit integer: " + std::string(value);
      line.target.windowID = *window;
    } else if (argument == "--key") {
      line.key = physicalKeyFromWireName(value);
      if (!line.key) return "--key: not a key name: " + std::string(value);
    } else if (argument == "--modifier") {
      const auto modifier = modifierFromWireName(value);
      if (!modifier) return "--modifier: not a modifier name: " + std::string(value);
      line.modifiers.push_back(*modifier);
    } else {
      return "unknown option " + std::string(argument);
    }
  }
  if (line.helper.empty()) return "--helper is required";
  if (line.approval) {
    if (operation) return "--approval takes no OPERATION";
    return line;
  }
  if (!operation) return "no OPERATION";
  const auto parsed = operationFromWireName(*operation);
  if (!parsed) return "not an operation: " + std::string(*operation);
  line.operation = *parsed;
  if (!havePid || !haveBundle || !haveID || !haveName || !haveRevision) {
    return "--pid, --bundle-id, --app-id, --app-name and --app-revision are required";
  }
  return line;
}

}  // namespace pellucor::call
