#include "native/target_validation_records.hpp"

#include "text/text_equality.hpp"

namespace pellucor {

bool operator==(const FrontmostIdentity& a, const FrontmostIdentity& b) {
  return a.pid == b.pid && text::textEquals(a.bundleID, b.bundleID) &&
         text::textEquals(a.localizedName, b.localizedName);
}

bool operator==(const ValidatedTarget& a, const ValidatedTarget& b) {
  return a.observation == b.observation && a.snapshot == b.snapshot;
}

}  // namespace pellucor
