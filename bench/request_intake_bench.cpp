// The cost of taking in one request: decoding the example line, decoding the
// worst 64 KiB lines the helper can be fed (each passes the strict scanner and
// fails only at the schema or the field rules, so every stage before that runs
// in full), and reading a maximal request from a pipe one byte per read(2).
// Each worst line is also parsed by simdjson's DOM parser, which does far less
// (no closed schema, no canonical equivalence of keys, no field rules), as the
// yardstick of the intake's goal: at most twice its time, side by side in one
// run.

#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <cstddef>
#include <string>

#include "intake/protocol_parser.hpp"
#include "platform/clock.hpp"

namespace {

using pellucor::PellucorError;
using pellucor::ProtocolParser;

constexpr std::size_t kLimit = ProtocolParser::kMaximumRequestBytes;

const std::string kExampleLine =
    R"({"protocol":"zor-vane.pellucor/v2","request_id":"00000000-0000-4000-8000-000000000000",)"
    R"("nonce":"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA","operation":"key","target":{"pid":501,)"
    R"("bundle_id":"com.brevant.zorvane","frontmost_required":true,"surface":"plugin.application",)"
    R"("application_id":"0123456789abcdef01234567","application_name":"Example","application_revision":"1.0"},)"
    R"("params":{"key":"a"}})";

// The example envelope for `operation`, with `params` in place of the
// example's, left open after them so that more can follow.
std::string openEnvelope(const std::string& operation, const std::string& params) {
  std::string line = kExampleLine;
  line.replace(line.find(R"("key","target")"), 5, "\"" + operation + "\"");
  line.replace(line.find(R"({"key":"a"}})"), 12, params);
  return line;
}

// Appends `piece(i)` for i = 0, 1, ... while the line stays within the limit.
template <typename Piece>
std::string fill(std::string head, const std::string& tail, Piece piece) {
  std::string body;
  for (int i = 0;; ++i) {
    std::string next = i == 0 ? std::string() : std::string(",");
    next.append(piece(i));
    if (head.size() + body.size() + next.size() + tail.size() > kLimit) break;
    body += next;
  }
  return head + body + tail;
}

// A hotkey whose modifier list holds thousands of valid names: it passes the
// scanner, the member sets and the typed decoding, and fails only at the last
// rule (more than three modifiers).
std::string longModifierList() {
  const char* names[] = {"command", "shift", "option", "control"};
  return fill(openEnvelope("hotkey", R"({"key":"a","modifiers":[)"), "]}}", [&](int i) { return std::string("\"") + names[i % 4] + "\""; });
}

// Objects of 64 members whose keys are six copies of `unit` and a number.
std::string longKeysOf(const std::string& unit) {
  const std::string head = openEnvelope("observe_ax", R"({},"x":[)");
  return fill(head, "]}", [&](int object) {
    std::string members = "{";
    for (int k = 0; k < 64; ++k) {
      if (k > 0) members += ",";
      std::string key;
      for (int r = 0; r < 6; ++r) key += unit;
      members += "\"" + key + std::to_string(object) + "_" + std::to_string(k) + "\":{}";
    }
    return members + "}";
  });
}

// One extra member holding objects of 64 members each with long non-ASCII
// keys that need canonical decomposition and reordering to be compared; it
// fails at the member-name sets.
std::string longNonAsciiKeys() {
  // "e" with two marks written in non-canonical order, and a Hangul syllable.
  return longKeysOf("e\xCC\x81\xCC\xA3\xEA\xB0\x80");
}

// The same shape with non-ASCII keys that are already in their canonical
// decomposed form (Cyrillic and CJK letters, which have no decomposition), the
// common case of non-ASCII text.
std::string longCanonicalNonAsciiKeys() {
  return longKeysOf("\xD0\xBA\xD0\xBB\xD1\x8E\xE9\x8D\xB5");  // "клю鍵"
}

// An extra member holding as many 64-member objects of short ASCII keys as fit.
std::string manyFullObjects() {
  const std::string head = openEnvelope("observe_ax", R"({},"x":[)");
  return fill(head, "]}", [](int) {
    std::string members = "{";
    for (int k = 0; k < 64; ++k) {
      if (k > 0) members += ",";
      members += "\"m" + std::to_string(k) + "\":" + std::to_string(k);
    }
    return members + "}";
  });
}

// Strings full of escapes, each decoded in full and then dropped.
std::string escapedStrings() {
  const std::string head = openEnvelope("observe_ax", R"({},"x":[)");
  return fill(head, "]}", [](int) { return std::string(R"("\u00e9\ud83d\ude00\n\/\"\\ abc")"); });
}

void checkFails(benchmark::State& state, const std::string& line, const char* code) {
  if (line.size() > kLimit) state.SkipWithError("line exceeds the limit");
  try {
    ProtocolParser::parse(line);
    state.SkipWithError("the line was accepted");
  } catch (const PellucorError& error) {
    if (error.code != code) state.SkipWithError(("unexpected outcome: " + error.code).c_str());
  }
}

void parseFailing(benchmark::State& state, const std::string& line, const char* code) {
  checkFails(state, line, code);
  for (auto _ : state) {
    try {
      benchmark::DoNotOptimize(ProtocolParser::parse(line));
    } catch (const PellucorError& error) {
      benchmark::DoNotOptimize(error.code.data());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(line.size()));
  state.counters["line_bytes"] = static_cast<double>(line.size());
}

void BM_ParseExampleLine(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ProtocolParser::parse(kExampleLine));
}
BENCHMARK(BM_ParseExampleLine);

void BM_ParseWorstLongModifierList(benchmark::State& state) {
  parseFailing(state, longModifierList(), "invalid_params");
}
BENCHMARK(BM_ParseWorstLongModifierList);

void BM_ParseWorstNonAsciiKeys(benchmark::State& state) {
  parseFailing(state, longNonAsciiKeys(), "invalid_schema");
}
BENCHMARK(BM_ParseWorstNonAsciiKeys);

void BM_ParseWorstCanonicalNonAsciiKeys(benchmark::State& state) {
  parseFailing(state, longCanonicalNonAsciiKeys(), "invalid_schema");
}
BENCHMARK(BM_ParseWorstCanonicalNonAsciiKeys);

void BM_ParseWorstFullObjects(benchmark::State& state) {
  parseFailing(state, manyFullObjects(), "invalid_schema");
}
BENCHMARK(BM_ParseWorstFullObjects);

void BM_ParseWorstEscapedStrings(benchmark::State& state) {
  parseFailing(state, escapedStrings(), "invalid_schema");
}
BENCHMARK(BM_ParseWorstEscapedStrings);

// simdjson's DOM parse of the same line, the yardstick.
void simdjsonDOM(benchmark::State& state, const std::string& line) {
  const simdjson::padded_string padded(line);
  simdjson::dom::parser parser;
  for (auto _ : state) {
    simdjson::dom::element root;
    if (parser.parse(padded).get(root) != simdjson::SUCCESS) {
      state.SkipWithError("simdjson refused the line");
      break;
    }
    benchmark::DoNotOptimize(root);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(line.size()));
}
BENCHMARK_CAPTURE(simdjsonDOM, WorstLongModifierList, longModifierList());
BENCHMARK_CAPTURE(simdjsonDOM, WorstNonAsciiKeys, longNonAsciiKeys());
BENCHMARK_CAPTURE(simdjsonDOM, WorstCanonicalNonAsciiKeys, longCanonicalNonAsciiKeys());
BENCHMARK_CAPTURE(simdjsonDOM, WorstFullObjects, manyFullObjects());
BENCHMARK_CAPTURE(simdjsonDOM, WorstEscapedStrings, escapedStrings());

// A maximal request, 65535 bytes and its line feed, already in a closed pipe
// whose buffer holds all of it, read one byte per read(2).
void BM_ReadMaximalRequestFromPipe(benchmark::State& state) {
  const std::string input = std::string(kLimit - 1, ' ') + "\n";
  const pellucor::platform::SystemClock clock;
  for (auto _ : state) {
    state.PauseTiming();
    int fds[2];
    if (::pipe(fds) != 0 || ::fcntl(fds[1], F_SETPIPE_SZ, 1 << 17) < static_cast<int>(input.size()) ||
        ::write(fds[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
      state.SkipWithError("pipe setup failed");
      break;
    }
    ::close(fds[1]);
    state.ResumeTiming();
    benchmark::DoNotOptimize(ProtocolParser::readOneRequest(fds[0], 2.0, clock));
    state.PauseTiming();
    ::close(fds[0]);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(input.size()));
}
BENCHMARK(BM_ReadMaximalRequestFromPipe)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
