// Builds an accessibility element tree from the fuzzer's bytes (its shape,
// the type of every attribute value, texts with control, format and
// bidirectional characters, odd child and action lists) behind a fake
// accessibility service, and reads it as the focused window. Beyond the
// sanitizers' own checks it asserts that:
// - nothing but a PellucorError escapes, always one of the reader's errors;
// - the walk ends exactly as the plain definition does, re-encoding each
//   element after every addition: the same tree, or the same error;
// - the walk's running size equals a full measurement of the tree, and an
//   accepted tree is within the budget;
// - every accepted text is escaped: no control, format or bidirectional
//   character and no more than 4096 bytes;
// - the read of the focused window gives the same tree as the walk.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "native/accessibility_reading.hpp"
#include "native/ax_tree_policy.hpp"
#include "native/ax_tree_walk.hpp"
#include "native/reference_ax_walk.hpp"
#include "native/system_accessibility_reader.hpp"
#include "support/fake_accessibility_service.hpp"
#include "support/random_ax_tree.hpp"
#include "text/unicode_category.hpp"
#include "text/utf8.hpp"
#include "wire/json_encoder.hpp"

namespace {

using namespace pellucor;

void check(bool condition) {
  if (!condition) std::abort();
}

// Each choice takes one byte (two when the bound needs them); past the end
// every choice is 0, which ends the tree quickly.
class ByteChoices final : public testing::ChoiceSource {
 public:
  ByteChoices(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint32_t below(std::uint32_t bound) override {
    std::uint32_t value = next();
    if (bound > 256) value = (value << 8) | next();
    return value % bound;
  }

 private:
  std::uint32_t next() { return index_ < size_ ? data_[index_++] : 0; }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t index_ = 0;
};

testing::RandomAXTreeShape shapeFrom(testing::ChoiceSource& choices) {
  constexpr std::array<std::size_t, 4> kLongTexts{64, 1000, 4096, 4400};
  constexpr std::array<std::uint32_t, 4> kLongOneIn{2, 4, 16, 64};
  constexpr std::array<std::uint32_t, 3> kIllFormed{0, 64, 256};
  constexpr std::array<std::size_t, 4> kElements{20, 100, 300, 520};
  testing::RandomAXTreeShape shape;
  shape.maximumDepth = static_cast<int>(choices.below(15));
  shape.minimumChildren = choices.below(3);
  shape.maximumChildren = shape.minimumChildren + choices.below(8);
  shape.maximumElements = kElements[choices.below(4)];
  shape.longTextBytes = kLongTexts[choices.below(4)];
  shape.longTextOneIn = kLongOneIn[choices.below(4)];
  shape.illFormedOneIn = kIllFormed[choices.below(3)];
  shape.escapesInLongTexts = choices.below(2) == 1;
  shape.oddChildLists = choices.below(2) == 1;
  return shape;
}

bool isReaderError(const PellucorError& error) {
  constexpr std::array kErrors{ax_errors::kTooDeep,        ax_errors::kTooManyNodes,  ax_errors::kTooLarge,
                               ax_errors::kEncodingFailed, ax_errors::kStringTooLarge, ax_errors::kFrameMissing,
                               ax_errors::kFrameInvalid,   deadline_errors::kExpired};
  for (const auto& known : kErrors) {
    if (error.code == known.code && error.message == known.message) return !error.retryable;
  }
  return false;
}

bool isEscaped(std::string_view text) {
  if (text.size() > ax_limits::kMaximumEscapedTextBytes || !text::isWellFormedUtf8(text)) return false;
  for (std::size_t index = 0; index < text.size();) {
    const auto scalar = text::nextScalar(text, index);
    if (text::isControlOrFormat(*scalar) || text::isBidiControl(*scalar)) return false;
  }
  return true;
}

// Every text escaped, every child list non-empty. (No element can measure
// more than the tree that holds it, so the tree's own size, checked by the
// caller, bounds them all.)
void checkAccepted(const JSONValue& element) {
  check(element.isObject());
  for (const auto& [key, value] : element.asObject()) {
    if (value.isString()) check(isEscaped(value.asString()));
    if (key == "actions") {
      for (const auto& name : value.asArray()) check(name.isString() && isEscaped(name.asString()));
    }
    if (key == "children") {
      check(!value.asArray().empty());
      for (const auto& child : value.asArray()) checkAccepted(child);
    }
  }
}

MonotonicDeadline farDeadline() {
  return MonotonicDeadline(3600, [] { return std::uint64_t{1}; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ByteChoices choices(data, size);
  const testing::RandomAXTreeShape shape = shapeFrom(choices);
  auto window = testing::buildRandomAXTree(choices, shape);
  auto service = std::make_shared<testing::FakeAccessibilityService>();

  std::string expected;
  try {
    expected = json::encode(testing::referenceEncodeAX(*service, window, farDeadline()));
  } catch (const PellucorError& error) {
    check(isReaderError(error));
    expected = error.code;
  }

  std::string walked;
  try {
    const AXWalkResult result = encodeAX(*service, window, farDeadline());
    check(result.measuredSize == json::measuredSize(result.tree));
    check(result.measuredSize <= ax_limits::kOutputBudgetBytes);
    checkAccepted(result.tree);
    walked = json::encode(result.tree);
    Target target;
    target.surface = "plugin.application";
    (void)AXTreePolicy::markerMatches(result.tree, target);
  } catch (const PellucorError& error) {
    check(isReaderError(error));
    walked = error.code;
  }
  check(walked == expected);

  // The same window read as the focused window of a process: the walk's
  // outcome comes first, then the title and the frame.
  service->focus(501, window);
  SystemAccessibilityReader reader(service);
  try {
    const AXReadSnapshot snapshot = reader.readFocused(501, farDeadline());
    check(json::encode(snapshot.tree) == walked);
    check(isEscaped(snapshot.focusedTitle));
    check(snapshot.focusedFrame.width > 0 && snapshot.focusedFrame.height > 0);
  } catch (const PellucorError& error) {
    check(isReaderError(error));
    if (error.code != ax_errors::kFrameMissing.code && error.code != ax_errors::kFrameInvalid.code) {
      check(error.code == walked);
    }
  }
  return 0;
}
