#include "support/random_ax_tree.hpp"

#include <array>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace pellucor::testing {
namespace {

using platform::AXResult;
using platform::AXValueData;
using platform::PlatformValue;

constexpr std::array<std::string_view, 10> kAttributes{
    "AXRole", "AXSubrole", "AXTitle", "AXDescription", "AXIdentifier",
    "AXValue", "AXEnabled", "AXFocused", "AXPosition", "AXSize"};

// Pieces of text the reader must treat differently: plain, JSON-escaped,
// slash, control (C0, DEL, NUL), format (soft hyphen, zero-width space, tag
// character), bidirectional controls, combining and composed letters, emoji
// and a look-alike of an escape.
const std::array<std::string, 22> kFragments{
    "a", "Zorvane", "/", "\"", "\\", "\t", "\n", "\r", "\x7F", std::string(1, '\0'),
    "\xC2\xAD", "\xE2\x80\x8B", "\xF3\xA0\x80\x81", "\xE2\x80\xAE", "\xE2\x81\xA6", "\xD8\x9C",
    "\xC3\xA9", "e\xCC\x81", "\xF0\x9F\x98\x80", "\xE6\xBC\xA2", "\\u{0009}", " "};

// Pieces the reader copies unchanged (a slash still counts twice).
const std::array<std::string, 5> kKeptFragments{"a", "/", "Zorvane", " ", "\xC3\xA9"};

// Bytes that are not well-formed UTF-8: a stray byte, a cut-off sequence and
// an encoded surrogate.
const std::array<std::string, 3> kIllFormed{"\xFF", "\xC3", "\xED\xA0\x80"};

constexpr std::array<double, 12> kFloatings{
    2.9, -2.9, 0.5, -0.0, 1e19, -1e19, 9223372036854775807.0, -9223372036854775808.0,
    std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(), 123456.75};

constexpr std::array<std::int64_t, 6> kIntegers{0, 1, -1, std::numeric_limits<std::int64_t>::min(),
                                                std::numeric_limits<std::int64_t>::max(), 4242};

constexpr std::array<double, 8> kComponents{10.7, -3.2, 0, 300, std::numeric_limits<double>::quiet_NaN(),
                                            std::numeric_limits<double>::infinity(), 1e300, -2.5};

class Builder {
 public:
  Builder(ChoiceSource& choices, const RandomAXTreeShape& shape) : choices_(choices), shape_(shape) {}

  std::shared_ptr<FakeAXElement> element(int depth) {
    ++elements_;
    auto node = FakeAXElement::make();
    for (const auto attribute : kAttributes) fillAttribute(*node, std::string(attribute));
    actions(*node);
    const std::uint32_t count = depth >= shape_.maximumDepth || elements_ >= shape_.maximumElements
                                    ? 0
                                    : shape_.minimumChildren + choices_.below(shape_.maximumChildren - shape_.minimumChildren + 1);
    for (std::uint32_t i = 0; i < count; ++i) node->adopt(element(depth + 1));
    oddChildren(*node);
    return node;
  }

 private:
  template <typename T, std::size_t N>
  const T& pick(const std::array<T, N>& options) {
    return options[choices_.below(static_cast<std::uint32_t>(N))];
  }

  std::string text() {
    std::string out;
    if (choices_.below(shape_.longTextOneIn) == 0) {
      // One piece repeated up to about the long-text length.
      const std::string& piece = shape_.escapesInLongTexts ? pick(kFragments) : pick(kKeptFragments);
      const auto most = static_cast<std::uint32_t>(shape_.longTextBytes / piece.size() + 1);
      const std::uint32_t repeats = most / 2 + choices_.below(most / 2 + 1);
      for (std::uint32_t i = 0; i < repeats; ++i) out += piece;
      return out;
    }
    // Medium texts: up to about a seventh of the long-text length in pieces.
    const auto mostPieces = static_cast<std::uint32_t>(shape_.longTextBytes / 7);
    const std::uint32_t size = choices_.below(16);
    const std::uint32_t pieces = size < 12 ? size : 1 + choices_.below(mostPieces + 1);
    for (std::uint32_t i = 0; i < pieces; ++i) {
      const bool illFormed = shape_.illFormedOneIn != 0 && choices_.below(shape_.illFormedOneIn) == 0;
      out += illFormed ? pick(kIllFormed) : pick(kFragments);
    }
    return out;
  }

  PlatformValue value() {
    switch (choices_.below(16)) {
      case 0: case 1: case 2: case 3: case 4: case 5:
        return PlatformValue::makeText(text());
      case 6:
        return PlatformValue::makeBoolean(choices_.below(2) == 1);
      case 7:
        return PlatformValue::makeInteger(pick(kIntegers));
      case 8:
        return PlatformValue::makeFloating(pick(kFloatings));
      case 9:
        return axPoint(pick(kComponents), pick(kComponents));
      case 10:
        return axSize(pick(kComponents), pick(kComponents));
      case 11: {
        constexpr std::array<AXValueData::Type, 3> kOthers{AXValueData::Type::rect, AXValueData::Type::range,
                                                           AXValueData::Type::error};
        return axValueOf(pick(kOthers), {1, 2, 3, 4});
      }
      case 12:
        return axValueOf(choices_.below(2) == 0 ? AXValueData::Type::point : AXValueData::Type::size, {1, 2},
                         false);
      case 13:
        return PlatformValue::makeElement(FakeAXElement::make());
      case 14:
        return PlatformValue::makeList({PlatformValue::makeText("x")});
      default:
        return PlatformValue::makeOther("other");
    }
  }

  void fillAttribute(FakeAXElement& node, std::string name) {
    switch (choices_.below(8)) {
      case 0:
        return;  // never set: the read fails as unsupported
      case 1:
        node.setStatus(std::move(name), platform::ax_status::kNoValue);
        return;
      case 2:
        node.setAnswer(std::move(name), AXResult{platform::ax_status::kSuccess, std::nullopt});
        return;
      default:
        node.set(std::move(name), value());
        return;
    }
  }

  void actions(FakeAXElement& node) {
    switch (choices_.below(8)) {
      case 0:
        node.setActionsAnswer(AXResult{platform::ax_status::kCannotComplete, std::nullopt});
        return;
      case 1:
        node.setActionsAnswer(AXResult{platform::ax_status::kSuccess, PlatformValue::makeText("AXPress")});
        return;
      case 2:
        node.setActionsAnswer(AXResult{platform::ax_status::kSuccess,
                                       PlatformValue::makeList({PlatformValue::makeText("AXPress"),
                                                                PlatformValue::makeInteger(1)})});
        return;
      case 3:
        node.setActionsAnswer(AXResult{platform::ax_status::kSuccess, std::nullopt});
        return;
      default: {
        std::vector<std::string> names;
        const std::uint32_t count = choices_.below(5);
        for (std::uint32_t i = 0; i < count; ++i) names.push_back(text());
        node.setActions(std::move(names));
        return;
      }
    }
  }

  // Now and then the child list itself is answered oddly, which must read as
  // no children at all.
  void oddChildren(FakeAXElement& node) {
    if (!shape_.oddChildLists) return;
    switch (choices_.below(24)) {
      case 0:
        node.set("AXChildren", PlatformValue::makeText("not a list"));
        return;
      case 1: {
        std::vector<PlatformValue> list;
        for (const auto& child : node.children()) list.push_back(PlatformValue::makeElement(child));
        list.push_back(PlatformValue::makeOther("not an element"));
        node.set("AXChildren", PlatformValue::makeList(std::move(list)));
        return;
      }
      case 2:
        node.setStatus("AXChildren", platform::ax_status::kCannotComplete);
        return;
      default:
        return;
    }
  }

  ChoiceSource& choices_;
  const RandomAXTreeShape& shape_;
  std::size_t elements_ = 0;
};

}  // namespace

std::shared_ptr<FakeAXElement> buildRandomAXTree(ChoiceSource& choices, const RandomAXTreeShape& shape) {
  return Builder(choices, shape).element(0);
}

}  // namespace pellucor::testing
