#include "native/screen_window_access.hpp"

#include "text/text_equality.hpp"

namespace pellucor {

bool operator==(const WindowCandidate& a, const WindowCandidate& b) {
  return a.pid == b.pid && a.windowID == b.windowID && a.onScreen == b.onScreen && a.frame == b.frame &&
         text::textEquals(a.bundleID, b.bundleID) && text::textEquals(a.title, b.title);
}

}  // namespace pellucor
