// pellucor-call: one request (or approval mode) through the client library,
// printed for a person: the request, how the helper ran, its response (a
// PNG's Base64 cut short), every check that passed and the verdict. Exits 0
// only when the helper answered ok and every check passed.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "call_command_line.hpp"
#include "client/helper_client.hpp"
#include "client/response_reading.hpp"
#include "text/utf8.hpp"
#include "wire/json_encoder.hpp"

namespace {

using namespace pellucor;
using namespace pellucor::client;

constexpr std::size_t kShortenedBase64 = 48;
constexpr std::size_t kShownRawBytes = 2000;

std::string quotedWord(const std::string& word) {
  if (!word.empty() && word.find_first_of(" \t\n'\"\\$") == std::string::npos) return word;
  std::string quoted = "'";
  for (const char c : word) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted.push_back(c);
    }
  }
  return quoted + "'";
}

void appendPretty(std::string& out, const JSONValue& value, const std::string& indent, std::string_view key = {}) {
  const std::string inner = indent + "  ";
  switch (value.kind()) {
    case JSONValue::Kind::object: {
      if (value.asObject().empty()) {
        out += "{}";
        return;
      }
      out += "{\n";
      bool first = true;
      for (const auto& [name, member] : value.asObject()) {
        if (!first) out += ",\n";
        first = false;
        out += inner + json::encode(JSONValue(name)) + ": ";
        appendPretty(out, member, inner, name);
      }
      out += "\n" + indent + "}";
      return;
    }
    case JSONValue::Kind::array: {
      if (value.asArray().empty()) {
        out += "[]";
        return;
      }
      out += "[\n";
      bool first = true;
      for (const JSONValue& element : value.asArray()) {
        if (!first) out += ",\n";
        first = false;
        out += inner;
        appendPretty(out, element, inner);
      }
      out += "\n" + indent + "]";
      return;
    }
    case JSONValue::Kind::string:
      if (key == "png_base64" && value.asString().size() > kShortenedBase64) {
        out += "\"" + value.asString().substr(0, kShortenedBase64) + "... (" +
               std::to_string(value.asString().size()) + " characters)\"";
        return;
      }
      out += json::encode(value);
      return;
    case JSONValue::Kind::integer:
    case JSONValue::Kind::boolean:
    case JSONValue::Kind::null: out += json::encode(value); return;
  }
}

// A JSON line shown indented, or its first bytes as they came when it is not
// JSON.
void showJSONLine(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  std::string whyNot;
  const auto value = readStrictJSON(line, whyNot);
  std::string out = "    ";
  if (value) {
    appendPretty(out, *value, "    ");
  } else {
    out += std::string(line.substr(0, kShownRawBytes));
    if (line.size() > kShownRawBytes) out += "... (" + std::to_string(line.size()) + " bytes)";
  }
  std::cout << out << "\n";
}

void showRun(const HelperRun& run, bool requestMode, std::size_t inputSize) {
  std::string command;
  for (const std::string& word : run.argv) command += (command.empty() ? "" : " ") + quotedWord(word);
  std::cout << "helper: " << command << "\n  ";
  switch (run.end) {
    case RunEnd::exited: std::cout << "exit status " << run.exitStatus; break;
    case RunEnd::signalled: std::cout << "ended by signal " << run.signalNumber; break;
    case RunEnd::timedOut: std::cout << "killed at the wall-clock limit and reaped"; break;
    case RunEnd::outputTooLarge: std::cout << "killed when standard output passed 16 MiB, and reaped"; break;
    case RunEnd::spawnFailed: std::cout << "not started: " << run.failure; break;
    case RunEnd::failed: std::cout << "the client failed: " << run.failure; break;
  }
  std::cout << " after " << run.elapsed.count() << " ms\n";
  if (requestMode && run.pid > 0) {
    std::cout << "  standard input: " << run.inputWritten << " of " << inputSize << " bytes taken"
              << (run.brokenPipe ? ", then closed by the helper (broken pipe)" : "") << "\n";
  }
  std::cout << "  standard output: " << run.standardOutput.size() << " bytes\n";
  if (!run.standardError.empty()) {
    std::cout << "  standard error" << (run.standardErrorTruncated ? " (cut short)" : "") << ": "
              << json::encode(JSONValue(std::string(text::isWellFormedUtf8(run.standardError)
                                                         ? run.standardError
                                                         : std::string("(not UTF-8)"))))
              << "\n";
  }
}

void showVerdict(const CallResult& result) {
  std::cout << "checks:\n";
  for (const std::string_view check : result.passedChecks) std::cout << "  passed: " << check << "\n";
  if (result.outcome != Outcome::ok) std::cout << "  failed: " << outcomeName(result.outcome) << "\n";
  std::cout << "outcome: " << outcomeName(result.outcome) << " (" << outcomeExplanation(result.outcome) << ")\n";
  if (!result.detail.empty()) std::cout << "  detail: " << result.detail << "\n";
  if (result.keyDownMayHaveBeenPosted) {
    std::cout << "  note: a key-down (and its key-up) may have been posted before the helper stalled\n";
  }
}

int run(const call::CallCommandLine& line) {
  ClientOptions options;
  options.limit = line.limit;
  SystemRandomSource random;
  const HelperClient client(line.helper, random, options);

  if (line.approval) {
    const CallResult result = client.runApproval();
    showRun(result.run, false, 0);
    if (!result.run.standardOutput.empty()) {
      std::cout << "approval lines:\n";
      std::string_view rest = result.run.standardOutput;
      while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::cout << "    " << rest.substr(0, end) << "\n";
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
      }
    }
    showVerdict(result);
    return result.outcome == Outcome::ok ? 0 : 1;
  }

  Request request;
  try {
    request = newRequest(random, line.operation, line.target, line.key, line.modifiers);
  } catch (const std::system_error& failure) {
    std::cerr << "pellucor-call: no random bytes: " << failure.what() << "\n";
    return 1;
  }
  std::string requestText;
  try {
    requestText = requestLine(request);
  } catch (const json::EncodingError& failure) {
    std::cerr << "pellucor-call: the request cannot be encoded: " << failure.what() << "\n";
    return 1;
  }
  std::cout << "request (" << wireName(line.operation) << ", limit " << client.limitFor(line.operation).count()
            << " ms):\n";
  showJSONLine(requestText);
  const CallResult result = client.call(request);
  showRun(result.run, true, requestText.size());
  if (!result.run.standardOutput.empty()) {
    std::cout << "response:\n";
    showJSONLine(result.run.standardOutput);
  }
  showVerdict(result);
  if (line.pngPath && result.outcome == Outcome::ok && !result.png.empty()) {
    std::ofstream file(*line.pngPath, std::ios::binary | std::ios::trunc);
    file.write(result.png.data(), static_cast<std::streamsize>(result.png.size()));
    file.close();
    if (!file) {
      std::cerr << "pellucor-call: cannot write " << *line.pngPath << "\n";
      return 1;
    }
    std::cout << "wrote " << *line.pngPath << ": " << result.png.size() << " bytes\n";
  }
  return result.outcome == Outcome::ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> arguments(argv + 1, argv + argc);
  auto parsed = call::parseCallCommandLine(arguments);
  if (const auto* usageError = std::get_if<std::string>(&parsed)) {
    std::cerr << "pellucor-call: " << *usageError << "\n" << call::kUsage;
    return 2;
  }
  return run(std::get<call::CallCommandLine>(parsed));
}
