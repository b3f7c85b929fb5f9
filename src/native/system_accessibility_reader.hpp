#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "native/accessibility_reading.hpp"
#include "platform/accessibility.hpp"

namespace pellucor {

// Reads focused windows through the platform's accessibility service. Every
// read starts afresh from the application element; nothing is cached, and
// every element obtained during a read is released when the read ends.
class SystemAccessibilityReader final : public AccessibilityReading {
 public:
  explicit SystemAccessibilityReader(std::shared_ptr<const platform::AccessibilityService> service);

  bool isProcessTrusted() const override;

  // In this order: the deadline; the focused window ("ax_focused_read_failed"
  // with the platform's status, or 0 when the call succeeded without giving
  // an element); the deadline again; the tree walk (encodeAX, with all its
  // errors); the whole tree against the output budget ("ax_too_large"); the
  // title (escaped, empty when there is none; escaping may fail); the frame
  // ("focused_window_frame_missing", "focused_window_frame_invalid").
  AXReadSnapshot readFocused(std::int32_t pid, const MonotonicDeadline& deadline) override;

 private:
  // A text attribute: its escaped text, or a number's decimal text. Nothing
  // when the read fails, gives no value, or gives another kind.
  std::optional<std::string> scalarString(const platform::PlatformHandle& element, std::string_view attribute) const;
  platform::Rect focusedFrame(const platform::PlatformHandle& window) const;

  std::shared_ptr<const platform::AccessibilityService> service_;
};

// The decimal text the platform gives a number: an integer in plain digits, a
// Boolean as "1" or "0", a floating number in its shortest form that reads
// back to the same value, without a fraction when it is integral ("2", "2.5",
// "1e+21", "nan", "inf", "-inf"). Nothing for a value that is not a number.
std::optional<std::string> numberText(const platform::PlatformValue& value);

}  // namespace pellucor
