#include "native/system_accessibility_reader.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <utility>

#include "native/ax_output_budget.hpp"
#include "native/ax_string_sanitizer.hpp"
#include "native/ax_tree_walk.hpp"

namespace pellucor {
namespace {

using platform::AXValueData;
using platform::PlatformHandle;
using platform::PlatformValue;

constexpr std::string_view kFocusedWindowAttribute = "AXFocusedWindow";
constexpr std::string_view kTitleAttribute = "AXTitle";
constexpr std::string_view kPositionAttribute = "AXPosition";
constexpr std::string_view kSizeAttribute = "AXSize";

bool isAXValue(const platform::AXResult& answer) {
  return answer.status == platform::ax_status::kSuccess && answer.value &&
         answer.value->kind == PlatformValue::Kind::axValue;
}

bool holds(const AXValueData& data, AXValueData::Type type) { return data.extractable && data.type == type; }

}  // namespace

std::optional<std::string> numberText(const PlatformValue& value) {
  std::array<char, 64> buffer{};
  std::to_chars_result written{};
  switch (value.kind) {
    case PlatformValue::Kind::boolean:
      return std::string(value.boolean ? "1" : "0");
    case PlatformValue::Kind::integer:
      written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value.integer);
      break;
    case PlatformValue::Kind::floating:
      if (std::isnan(value.floating)) return std::string("nan");
      if (std::isinf(value.floating)) return std::string(value.floating < 0 ? "-inf" : "inf");
      written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value.floating);
      break;
    case PlatformValue::Kind::text:
    case PlatformValue::Kind::axValue:
    case PlatformValue::Kind::element:
    case PlatformValue::Kind::list:
    case PlatformValue::Kind::dictionary:
    case PlatformValue::Kind::other:
      return std::nullopt;
  }
  return std::string(buffer.data(), written.ptr);
}

SystemAccessibilityReader::SystemAccessibilityReader(std::shared_ptr<const platform::AccessibilityService> service)
    : service_(std::move(service)) {}

bool SystemAccessibilityReader::isProcessTrusted() const { return service_->isProcessTrusted(); }

AXReadSnapshot SystemAccessibilityReader::readFocused(std::int32_t pid, const MonotonicDeadline& deadline) {
  deadline.check();
  const PlatformHandle application = service_->createApplicationElement(pid);
  const auto focused = service_->copyAttributeValue(application, kFocusedWindowAttribute);
  if (focused.status != platform::ax_status::kSuccess) throw ax_errors::focusedReadFailed(focused.status);
  if (!focused.value || focused.value->kind != PlatformValue::Kind::element || !focused.value->element) {
    throw ax_errors::focusedReadFailed(platform::ax_status::kSuccess);
  }
  const PlatformHandle& window = focused.value->element;
  deadline.check();

  AXWalkResult walked = encodeAX(*service_, window, deadline);
  if (AXOutputBudget::exceeds(walked.measuredSize)) fail(ax_errors::kTooLarge);

  AXReadSnapshot snapshot;
  snapshot.focusedTitle = scalarString(window, kTitleAttribute).value_or(std::string());
  snapshot.focusedFrame = focusedFrame(window);
  snapshot.tree = std::move(walked.tree);
  return snapshot;
}

std::optional<std::string> SystemAccessibilityReader::scalarString(const PlatformHandle& element,
                                                                   std::string_view attribute) const {
  const auto answer = service_->copyAttributeValue(element, attribute);
  if (answer.status != platform::ax_status::kSuccess || !answer.value) return std::nullopt;
  if (answer.value->kind == PlatformValue::Kind::text) return AXStringSanitizer::escape(answer.value->text);
  return numberText(*answer.value);
}

platform::Rect SystemAccessibilityReader::focusedFrame(const PlatformHandle& window) const {
  const auto position = service_->copyAttributeValue(window, kPositionAttribute);
  const auto size = service_->copyAttributeValue(window, kSizeAttribute);
  if (!isAXValue(position) || !isAXValue(size)) fail(ax_errors::kFrameMissing);
  const AXValueData& origin = position.value->axValue;
  const AXValueData& extent = size.value->axValue;
  if (!holds(origin, AXValueData::Type::point) || !holds(extent, AXValueData::Type::size)) {
    fail(ax_errors::kFrameInvalid);
  }
  const platform::Rect frame{origin.components[0], origin.components[1], extent.components[0], extent.components[1]};
  const bool finite = std::isfinite(frame.x) && std::isfinite(frame.y) && std::isfinite(frame.width) &&
                      std::isfinite(frame.height);
  if (!finite || !(frame.width > 0) || !(frame.height > 0)) fail(ax_errors::kFrameInvalid);
  return frame;
}

}  // namespace pellucor
