#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "native/accessibility_reading.hpp"
#include "native/keyboard_event_posting.hpp"
#include "native/mac_native_operations.hpp"
#include "native/screen_window_access.hpp"
#include "support/fake_clock.hpp"
#include "wire/records.hpp"

namespace pellucor::testing {

// The uptime clock of one test. Copies share one clock, so that a fake
// service holding a copy can move the time that the test's deadlines read.
class DeadlineClock {
 public:
  MonotonicDeadline deadline(double seconds) const {
    return MonotonicDeadline(seconds, [clock = clock_] { return clock->uptimeNanoseconds(); });
  }
  void advance(std::uint64_t nanoseconds) const { clock_->advanceUptime(nanoseconds); }

 private:
  std::shared_ptr<FakeClock> clock_ = std::make_shared<FakeClock>();
};

// The host application as every case here puts it in front: process 501 of
// "com.brevant.zorvane", named "Zorvane", showing one plugin application.
inline constexpr std::int32_t kHostPid = 501;
inline constexpr const char* kHostBundleID = "com.brevant.zorvane";

// A target that the front application satisfies, naming `windowID` if given.
Target hostTarget(std::optional<std::uint32_t> windowID = std::nullopt);

// What reading the host's focused window gives when it shows the target's
// marker: title "Zorvane" unless told otherwise, and `frame`.
AXReadSnapshot focusedSnapshot(const platform::Rect& frame, const std::string& title = "Zorvane");

// An accessibility reader that plays one step per read: a step returns the
// snapshot or throws. The last step answers every later read.
class ScriptedReader final : public AccessibilityReading {
 public:
  using Step = std::function<AXReadSnapshot()>;
  explicit ScriptedReader(std::vector<Step> steps) : steps_(std::move(steps)) {}

  bool isProcessTrusted() const override { return true; }
  AXReadSnapshot readFocused(std::int32_t pid, const MonotonicDeadline& deadline) override;
  std::size_t reads() const { return reads_; }

 private:
  std::vector<Step> steps_;
  std::size_t reads_ = 0;
};

// A step that reads `snapshot` every time.
ScriptedReader::Step reads(AXReadSnapshot snapshot);

// A signature check that finds the host's process 501 signed as
// "com.brevant.zorvane" and nothing else signed as any host.
bool signedAsHost(std::int32_t pid, std::string_view hostBundleID);

// MacNativeOperations with the host in front, signed as the host, and a
// helper that lives in the host's bundle, so that validation depends on
// nothing but the reader (and `hostSignatureCheck` when one is given).
std::unique_ptr<MacNativeOperations> hostOperations(std::shared_ptr<AccessibilityReading> reader,
                                                    std::shared_ptr<KeyboardEventPosting> keyboard,
                                                    std::shared_ptr<ScreenWindowAccessing> screenWindows,
                                                    HostSignatureCheck hostSignatureCheck = signedAsHost);

}  // namespace pellucor::testing
