#pragma once

namespace pellucor {

// Checks the helper's own code identity and the processes that spawned it.
class ProcessIdentityValidating {
 public:
  virtual ~ProcessIdentityValidating() = default;
  // Returns exactly when the helper and its ancestry are accepted. Every
  // refusal throws; a refusal the system itself detects is a PellucorError.
  virtual void validateSelfAndAncestry() = 0;
};

}  // namespace pellucor
