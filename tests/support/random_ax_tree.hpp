#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "support/fake_accessibility_service.hpp"

namespace pellucor::testing {

// Where the choices of a random tree come from: a seeded generator in unit
// tests, the fuzzer's bytes in the fuzz target.
class ChoiceSource {
 public:
  virtual ~ChoiceSource() = default;
  // A number below `bound` (which is at least 1).
  virtual std::uint32_t below(std::uint32_t bound) = 0;
};

struct RandomAXTreeShape {
  int maximumDepth = 14;            // beyond the reader's limit, so that it is hit
  std::uint32_t minimumChildren = 0;
  std::uint32_t maximumChildren = 6;
  std::size_t maximumElements = 520;  // beyond the reader's limit, likewise
  std::size_t longTextBytes = 5000;   // beyond the escaped-text limit
  std::uint32_t longTextOneIn = 16;   // chance of a text being long
  std::uint32_t illFormedOneIn = 256; // chance of an ill-formed piece of text; 0: never
  bool escapesInLongTexts = true;     // false: long texts only of characters kept as they are
  bool oddChildLists = true;          // false: every child list is a plain list of elements
};

// A window element with a random subtree: every attribute the reader asks
// for, typed any way the platform can type it (texts with control, format and
// bidirectional characters, slashes, quotes, rarely ill-formed bytes; numbers
// of every kind; points, sizes and other accessibility values; failed reads),
// odd action-name answers and odd child lists.
std::shared_ptr<FakeAXElement> buildRandomAXTree(ChoiceSource& choices, const RandomAXTreeShape& shape = {});

}  // namespace pellucor::testing
