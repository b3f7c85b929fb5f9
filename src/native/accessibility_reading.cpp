#include "native/accessibility_reading.hpp"

#include "text/text_equality.hpp"

namespace pellucor {

PellucorError ax_errors::focusedReadFailed(std::int32_t status) {
  return PellucorError(std::string(kFocusedReadFailedCode),
                       std::string(kFocusedReadFailedMessage) + std::to_string(status));
}

bool operator==(const AXReadSnapshot& a, const AXReadSnapshot& b) {
  return a.focusedFrame == b.focusedFrame && a.tree == b.tree && text::textEquals(a.focusedTitle, b.focusedTitle);
}

}  // namespace pellucor
