#pragma once

#include <memory>

#include "platform/accessibility.hpp"
#include "platform/clock.hpp"
#include "platform/code_signing.hpp"
#include "platform/file_system.hpp"
#include "platform/keyboard_events.hpp"
#include "platform/main_bundle.hpp"
#include "platform/process_table.hpp"
#include "platform/screen_capture.hpp"
#include "platform/workspace.hpp"

namespace pellucor::platform {

// Every platform service of one run. Shared ownership, because a bounded wait
// may leave a worker running with a service after its caller has moved on.
struct PlatformServices {
  std::shared_ptr<const Clock> clock;
  std::shared_ptr<const MainBundleService> mainBundle;
  std::shared_ptr<const FileSystemService> fileSystem;
  std::shared_ptr<const ProcessTableService> processTable;
  std::shared_ptr<const CodeSigningService> codeSigning;
  std::shared_ptr<const WorkspaceService> workspace;
  std::shared_ptr<const AccessibilityService> accessibility;
  std::shared_ptr<const ScreenCaptureService> screenCapture;
  std::shared_ptr<const KeyboardEventService> keyboard;
};

}  // namespace pellucor::platform
