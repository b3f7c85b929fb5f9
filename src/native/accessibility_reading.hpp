#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "native/monotonic_deadline.hpp"
#include "platform/platform_value.hpp"
#include "wire/json_value.hpp"
#include "wire/pellucor_error.hpp"

namespace pellucor {

// What one read of a process's focused window gives: its escaped title (empty
// when it has none), its frame in accessibility screen points, fractions kept,
// and its element tree as a JSON object.
struct AXReadSnapshot {
  std::string focusedTitle;
  platform::Rect focusedFrame;
  JSONValue tree;
};

// Titles by canonical equivalence, frames exactly, trees structurally.
bool operator==(const AXReadSnapshot& a, const AXReadSnapshot& b);

// Reads the focused window of another process. Everything that comes back has
// been escaped and bounded; a read either delivers the whole tree or fails.
class AccessibilityReading {
 public:
  virtual ~AccessibilityReading() = default;
  // Whether this process is trusted for accessibility, asked without a prompt.
  // It is only ever reported, never used to refuse work.
  virtual bool isProcessTrusted() const = 0;
  // The focused window of `pid`. Throws a PellucorError from `ax_errors` or
  // "operation_timeout" when the deadline passes; a platform failure may come
  // through as a platform::PlatformError.
  virtual AXReadSnapshot readFocused(std::int32_t pid, const MonotonicDeadline& deadline) = 0;
};

// The limits every read of another process's accessibility tree obeys. The
// focused window itself is at depth 0.
namespace ax_limits {
inline constexpr int kMaximumDepth = 12;
inline constexpr int kMaximumElements = 500;
inline constexpr std::size_t kOutputBudgetBytes = 1048576;
inline constexpr std::size_t kMaximumEscapedTextBytes = 4096;
}  // namespace ax_limits

// The errors of an accessibility read. The focused-window failure carries the
// platform's status in its message, built by `focusedReadFailed`.
namespace ax_errors {
inline constexpr ErrorDefinition kTooDeep{"ax_too_deep", "AX tree exceeds depth 12"};
inline constexpr ErrorDefinition kTooManyNodes{"ax_too_many_nodes", "AX tree exceeds 500 nodes"};
inline constexpr ErrorDefinition kTooLarge{"ax_too_large", "complete AX JSON exceeds 1 MiB"};
inline constexpr ErrorDefinition kEncodingFailed{"ax_encoding_failed", "AX output could not be encoded"};
inline constexpr ErrorDefinition kStringTooLarge{"ax_string_too_large",
                                           "AX string exceeds 4096 UTF-8 bytes after safety escaping"};
inline constexpr ErrorDefinition kFrameMissing{"focused_window_frame_missing",
                                         "focused AX window lacks a public position/size identity"};
inline constexpr ErrorDefinition kFrameInvalid{"focused_window_frame_invalid", "focused AX window frame is invalid"};
inline constexpr std::string_view kFocusedReadFailedCode = "ax_focused_read_failed";
inline constexpr std::string_view kFocusedReadFailedMessage = "real focused AX read failed with code ";

// "ax_focused_read_failed" with the status in decimal; 0 when the call itself
// succeeded but delivered no element.
PellucorError focusedReadFailed(std::int32_t status);
}  // namespace ax_errors

}  // namespace pellucor
