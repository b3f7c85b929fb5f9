#pragma once

#include <cstdint>
#include <string>

#include "native/accessibility_reading.hpp"
#include "wire/records.hpp"

namespace pellucor {

// The application in front of the user, as the workspace describes it. Only an
// application with a bundle identifier and a name is ever described.
struct FrontmostIdentity {
  std::int32_t pid = 0;
  std::string bundleID;
  std::string localizedName;
};

// A target proven to be the frontmost host with the expected focused window,
// together with what was read about that window while proving it.
struct ValidatedTarget {
  TargetObservation observation;
  AXReadSnapshot snapshot;
};

// Field by field; texts by canonical equivalence.
bool operator==(const FrontmostIdentity& a, const FrontmostIdentity& b);
bool operator==(const ValidatedTarget& a, const ValidatedTarget& b);

}  // namespace pellucor
