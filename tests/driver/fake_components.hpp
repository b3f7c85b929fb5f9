#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "approval/approval_controlling.hpp"
#include "driver/pellucor_main.hpp"
#include "identity/process_identity_validating.hpp"
#include "native/native_operating.hpp"
#include "support/fake_clock.hpp"

namespace pellucor::testing {

// One call the executor made on the native operations.
struct NativeCall {
  std::string operation;
  Target target;
  std::optional<PhysicalKey> key;
  std::vector<KeyModifier> modifiers;
  std::uint64_t deadlineNanoseconds = 0;
};

// The observation and result a scripted native operation returns by default.
inline NativeExecution exampleExecution() {
  return NativeExecution{
      TargetObservation{501, "com.brevant.zorvane", 12, "plugin.application", "0123456789abcdef01234567",
                        "Example", "1.0"},
      JSONValue(JSONValue::Object{{"posted", JSONValue(true)}, {"path", JSONValue("/tmp/a b")}})};
}

// What the fakes do and what they saw. Each fake runs its script, so that a
// test decides per case whether a step passes, throws or takes time.
struct DriverScript {
  std::function<void()> identity;                     // nothing: accepts
  std::function<NativeExecution(const NativeCall&)> native;  // nothing: exampleExecution()
  std::function<PermissionApprovalResult()> approval;  // nothing: trusted, window 4294967295
  // Run when the entry asks for the object to be built; may throw to make
  // the building fail. Nothing: built.
  std::function<void()> buildIdentity;
  std::function<void()> buildNative;

  int identityChecks = 0;
  std::vector<NativeCall> nativeCalls;
  int approvalRuns = 0;
};

class FakeIdentity final : public ProcessIdentityValidating {
 public:
  explicit FakeIdentity(DriverScript& script) : script_(script) {}
  void validateSelfAndAncestry() override {
    ++script_.identityChecks;
    if (script_.identity) script_.identity();
  }

 private:
  DriverScript& script_;
};

class FakeNative final : public NativeOperating {
 public:
  explicit FakeNative(DriverScript& script) : script_(script) {}
  NativeExecution observeAX(const Target& target, const MonotonicDeadline& deadline) override {
    return call({"observeAX", target, std::nullopt, {}, deadline.deadlineNanoseconds()});
  }
  NativeExecution enumerateWindows(const Target& target, const MonotonicDeadline& deadline) override {
    return call({"enumerateWindows", target, std::nullopt, {}, deadline.deadlineNanoseconds()});
  }
  NativeExecution captureWindow(const Target& target, const MonotonicDeadline& deadline) override {
    return call({"captureWindow", target, std::nullopt, {}, deadline.deadlineNanoseconds()});
  }
  NativeExecution postKey(PhysicalKey key, const std::vector<KeyModifier>& modifiers, const Target& target,
                          const MonotonicDeadline& deadline) override {
    return call({"postKey", target, key, modifiers, deadline.deadlineNanoseconds()});
  }

 private:
  NativeExecution call(NativeCall made) {
    script_.nativeCalls.push_back(made);
    return script_.native ? script_.native(made) : exampleExecution();
  }
  DriverScript& script_;
};

class FakeApproval final : public ApprovalControlling {
 public:
  explicit FakeApproval(DriverScript& script) : script_(script) {}
  PermissionApprovalResult run() override {
    ++script_.approvalRuns;
    return script_.approval ? script_.approval() : PermissionApprovalResult{true, 4294967295u};
  }

 private:
  DriverScript& script_;
};

// The collaborators of one run, built from a script and a clock the test
// owns; counts what the entry asked to be built.
class FakeComponents final : public PellucorComponents {
 public:
  FakeComponents(DriverScript& script, const platform::Clock& clock) : script_(script), clock_(clock) {}

  const platform::Clock& clock() override { return clock_; }
  std::unique_ptr<ProcessIdentityValidating> makeIdentityValidator() override {
    ++identityBuilt;
    if (script_.buildIdentity) script_.buildIdentity();
    return std::make_unique<FakeIdentity>(script_);
  }
  std::unique_ptr<NativeOperating> makeNativeOperations() override {
    ++nativeBuilt;
    if (script_.buildNative) script_.buildNative();
    return std::make_unique<FakeNative>(script_);
  }
  std::unique_ptr<ApprovalControlling> makeApprovalControl() override {
    ++approvalBuilt;
    return std::make_unique<FakeApproval>(script_);
  }

  int identityBuilt = 0;
  int nativeBuilt = 0;
  int approvalBuilt = 0;

 private:
  DriverScript& script_;
  const platform::Clock& clock_;
};

}  // namespace pellucor::testing
