// The accessibility tree walk against plain encodings of the tree it builds.
// The walk checks the element being built against the output budget after
// every member, action name and child; it keeps each element's measured size
// current instead of encoding the element again, so its cost should stay a
// small multiple of one encoding of the finished tree, however close the tree
// comes to the budget. The re-encoding walk is the plain definition, for
// comparison.
//
// Trees: a window with elements five to a parent, every element carrying the
// attributes an application typically exposes (role, subrole, title,
// description, identifier, value, enabled, focused, position, size) and two
// action names. The "full" tree has 500 elements whose descriptions are
// padded so that the whole tree measures just under 1 MiB.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "native/ax_tree_walk.hpp"
#include "native/reference_ax_walk.hpp"
#include "support/fake_accessibility_service.hpp"
#include "wire/json_encoder.hpp"

namespace {

using pellucor::AXWalkResult;
using pellucor::MonotonicDeadline;
using pellucor::platform::PlatformValue;
using pellucor::testing::axPoint;
using pellucor::testing::axSize;
using pellucor::testing::axText;
using pellucor::testing::FakeAccessibilityService;
using pellucor::testing::FakeAXElement;

constexpr std::size_t kBudget = 1048576;

struct Tree {
  std::shared_ptr<FakeAXElement> window;
  std::vector<std::shared_ptr<FakeAXElement>> elements;  // window first, in walk order
};

void describe(FakeAXElement& element, std::size_t index, std::size_t descriptionBytes) {
  const std::string number = std::to_string(index);
  element.set("AXRole", axText(index % 3 == 0 ? "AXGroup" : "AXButton"))
      .set("AXSubrole", axText("AXStandardWindow"))
      .set("AXTitle", axText("Item " + number + " / plugin panel"))
      .set("AXDescription", axText(std::string(descriptionBytes, 'd')))
      .set("AXIdentifier", axText("element-" + number))
      .set("AXValue", PlatformValue::makeFloating(static_cast<double>(index) + 0.75))
      .set("AXEnabled", PlatformValue::makeBoolean(true))
      .set("AXFocused", PlatformValue::makeBoolean(index == 7))
      .set("AXPosition", axPoint(12.5 * static_cast<double>(index % 40), 30.25))
      .set("AXSize", axSize(120, 24.5))
      .setActions({"AXPress", "AXShowMenu"});
}

// `count` elements, five children to a parent, breadth first.
Tree makeTree(std::size_t count, std::size_t descriptionBytes) {
  Tree tree;
  tree.window = FakeAXElement::make();
  tree.elements.push_back(tree.window);
  for (std::size_t parent = 0; tree.elements.size() < count; ++parent) {
    for (int i = 0; i < 5 && tree.elements.size() < count; ++i) {
      tree.elements.push_back(tree.elements[parent]->addChild());
    }
  }
  for (std::size_t i = 0; i < tree.elements.size(); ++i) describe(*tree.elements[i], i, descriptionBytes);
  return tree;
}

MonotonicDeadline farDeadline() {
  return MonotonicDeadline(3600, [] { return std::uint64_t{1}; });
}

AXWalkResult walk(const FakeAccessibilityService& service, const Tree& tree) {
  return pellucor::encodeAX(service, tree.window, farDeadline());
}

// 500 elements padded to end between `kBudget - 512` and the budget.
Tree makeFullTree(const FakeAccessibilityService& service) {
  constexpr std::size_t kCount = 500;
  Tree tree = makeTree(kCount, 0);
  const std::size_t bare = walk(service, tree).measuredSize;
  const std::size_t padding = kBudget - 256 - bare;
  for (std::size_t i = 0; i < kCount; ++i) {
    describe(*tree.elements[i], i, padding / kCount + (i < padding % kCount ? 1 : 0));
  }
  const std::size_t size = walk(service, tree).measuredSize;
  if (size > kBudget || size < kBudget - 512) throw std::logic_error("full tree missed its size");
  return tree;
}

struct Fixture {
  FakeAccessibilityService service;
  Tree tree;
};

const Fixture& fixture(std::int64_t elements) {
  static const auto make = [](std::int64_t count) {
    auto f = std::make_unique<Fixture>();
    f->tree = count == 0 ? makeFullTree(f->service) : makeTree(static_cast<std::size_t>(count), 64);
    return f;
  };
  static const auto f100 = make(100), f250 = make(250), f500 = make(500), full = make(0);
  switch (elements) {
    case 100: return *f100;
    case 250: return *f250;
    case 500: return *f500;
    default: return *full;
  }
}

void label(benchmark::State& state, const Fixture& f) {
  const AXWalkResult result = walk(f.service, f.tree);
  state.counters["tree_bytes"] = static_cast<double>(result.measuredSize);
  state.SetLabel(state.range(0) == 0 ? "500 elements, just under 1 MiB"
                                     : std::to_string(state.range(0)) + " elements");
}

void BM_Walk(benchmark::State& state) {
  const Fixture& f = fixture(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(walk(f.service, f.tree));
  label(state, f);
}

void BM_ReEncodingWalk(benchmark::State& state) {
  const Fixture& f = fixture(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(pellucor::testing::referenceEncodeAX(f.service, f.tree.window, farDeadline()));
  }
  label(state, f);
}

void BM_PlainEncoding(benchmark::State& state) {
  const Fixture& f = fixture(state.range(0));
  const pellucor::JSONValue tree = walk(f.service, f.tree).tree;
  for (auto _ : state) benchmark::DoNotOptimize(pellucor::json::encode(tree));
  label(state, f);
}

double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The walk and one plain encoding of its result, taken in turns so that both
// see the same machine; the ratio is the figure to watch. Releasing the tree
// counts as part of the walk, releasing the encoded text as part of the
// encoding.
void BM_WalkPerEncoding(benchmark::State& state) {
  const Fixture& f = fixture(state.range(0));
  double walking = 0;
  double encoding = 0;
  for (auto _ : state) {
    const double start = threadSeconds();
    auto result = std::make_unique<AXWalkResult>(walk(f.service, f.tree));
    const double walked = threadSeconds();
    benchmark::DoNotOptimize(pellucor::json::encode(result->tree));
    const double encoded = threadSeconds();
    result.reset();
    const double released = threadSeconds();
    walking += (walked - start) + (released - encoded);
    encoding += encoded - walked;
  }
  state.counters["walk_per_encoding"] = walking / encoding;
  label(state, f);
}

// 0 stands for the full tree.
void sizes(benchmark::internal::Benchmark* b) { b->Arg(100)->Arg(250)->Arg(500)->Arg(0); }

BENCHMARK(BM_Walk)->Apply(sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainEncoding)->Apply(sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReEncodingWalk)->Apply(sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WalkPerEncoding)->Apply(sizes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
