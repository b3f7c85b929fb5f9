#include "target_fixture.hpp"

#include <utility>

namespace pellucor::testing {

Target hostTarget(std::optional<std::uint32_t> windowID) {
  Target target;
  target.pid = kHostPid;
  target.bundleID = kHostBundleID;
  target.frontmostRequired = true;
  target.windowID = windowID;
  target.surface = "plugin.application";
  target.applicationID = "0123456789abcdef01234567";
  target.applicationName = "Notes";
  target.applicationRevision = "r7";
  return target;
}

AXReadSnapshot focusedSnapshot(const platform::Rect& frame, const std::string& title) {
  JSONValue::Object marker;
  marker.emplace("identifier", "plugin-application-browser-root");
  marker.emplace("description",
                 "plugin.application application_id=0123456789abcdef01234567 application_name=Notes "
                 "application_revision=r7");
  JSONValue::Object window;
  window.emplace("title", title);
  window.emplace("children", JSONValue::Array{JSONValue(std::move(marker))});
  return AXReadSnapshot{title, frame, JSONValue(std::move(window))};
}

AXReadSnapshot ScriptedReader::readFocused(std::int32_t, const MonotonicDeadline&) {
  const std::size_t step = reads_ < steps_.size() ? reads_ : steps_.size() - 1;
  ++reads_;
  return steps_.at(step)();
}

ScriptedReader::Step reads(AXReadSnapshot snapshot) {
  return [snapshot = std::move(snapshot)] { return snapshot; };
}

bool signedAsHost(std::int32_t pid, std::string_view hostBundleID) {
  return pid == kHostPid && hostBundleID == kHostBundleID;
}

std::unique_ptr<MacNativeOperations> hostOperations(std::shared_ptr<AccessibilityReading> reader,
                                                    std::shared_ptr<KeyboardEventPosting> keyboard,
                                                    std::shared_ptr<ScreenWindowAccessing> screenWindows,
                                                    HostSignatureCheck hostSignatureCheck) {
  return std::make_unique<MacNativeOperations>(
      std::move(reader), std::move(keyboard), std::move(screenWindows),
      [] { return std::optional(FrontmostIdentity{kHostPid, kHostBundleID, "Zorvane"}); },
      [] { return std::string(kHostBundleID) + ".pellucor"; }, std::move(hostSignatureCheck));
}

}  // namespace pellucor::testing
