// The cost of a large response: encoding a 1 MiB result tree in the response
// form, and measuring it in the measuring form. Measuring must not build
// anything; this binary replaces the global allocation functions with counting
// ones (instrumentation of this benchmark only) and reports the allocations
// made inside measuredSize, which must be zero.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "wire/json_encoder.hpp"

namespace {

std::atomic<std::size_t> gAllocations{0};

}  // namespace

// GCC sees malloc behind new and free behind delete once both are inlined and
// calls that a mismatch; here they are one matched pair by construction.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using pellucor::JSONValue;

// A tree shaped like an accessibility result: nested elements with roles,
// titles (some with "/", escapes and non-ASCII text), frames and children,
// about 1 MiB once encoded.
JSONValue element(int serial, int depth) {
  JSONValue::Object object{
      {"role", JSONValue("AXGroup")},
      {"title", JSONValue("Folder /Users/example/Documents " + std::to_string(serial) +
                          " \xE2\x80\x94 caf\xC3\xA9 \"quoted\"\t")},
      {"enabled", JSONValue(serial % 2 == 0)},
      {"frame", JSONValue(JSONValue::Object{{"x", JSONValue(std::int64_t{serial})},
                                            {"y", JSONValue(std::int64_t{-serial})},
                                            {"width", JSONValue(std::int64_t{1920})},
                                            {"height", JSONValue(std::int64_t{1080})}})},
      {"actions", JSONValue(JSONValue::Array{JSONValue("AXPress"), JSONValue("AXShowMenu")})},
      {"value", JSONValue()},
  };
  if (depth > 0) {
    JSONValue::Array children;
    for (int i = 0; i < 8; ++i) children.push_back(element(serial * 8 + i, depth - 1));
    object.emplace("children", JSONValue(std::move(children)));
  }
  return JSONValue(std::move(object));
}

const JSONValue& resultTree() {
  static const JSONValue tree = element(1, 4);
  return tree;
}

void BM_EncodeResultTree(benchmark::State& state) {
  const JSONValue& tree = resultTree();
  std::size_t size = 0;
  for (auto _ : state) {
    const std::string encoded = pellucor::json::encode(tree);
    size = encoded.size();
    benchmark::DoNotOptimize(encoded.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
  state.counters["encoded_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_EncodeResultTree)->Unit(benchmark::kMicrosecond);

void BM_MeasureResultTree(benchmark::State& state) {
  const JSONValue& tree = resultTree();
  std::size_t size = 0;
  std::size_t allocations = 0;
  for (auto _ : state) {
    const std::size_t before = gAllocations.load(std::memory_order_relaxed);
    size = pellucor::json::measuredSize(tree);
    allocations += gAllocations.load(std::memory_order_relaxed) - before;
    benchmark::DoNotOptimize(size);
  }
  if (allocations != 0) state.SkipWithError("measuring allocated");
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
  state.counters["measured_bytes"] = static_cast<double>(size);
  state.counters["allocations"] = static_cast<double>(allocations);
}
BENCHMARK(BM_MeasureResultTree)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
