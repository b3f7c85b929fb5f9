#include "platform/macos/macos_services.hpp"

#include <memory>

#include "platform/macos/accessibility_macos.hpp"
#include "platform/macos/clock_macos.hpp"
#include "platform/macos/code_signing_macos.hpp"
#include "platform/macos/file_system_macos.hpp"
#include "platform/macos/keyboard_events_macos.hpp"
#include "platform/macos/main_bundle_macos.hpp"
#include "platform/macos/process_table_macos.hpp"
#include "platform/macos/screen_capture_macos.hpp"
#include "platform/macos/workspace_macos.hpp"

namespace pellucor::platform::macos {

PlatformServices makeMacOSServices() {
  PlatformServices services;
  services.clock = std::make_shared<const MacClock>();
  services.mainBundle = std::make_shared<const MacMainBundle>();
  services.fileSystem = std::make_shared<const MacFileSystem>();
  services.processTable = std::make_shared<const MacProcessTable>();
  services.codeSigning = std::make_shared<const MacCodeSigning>();
  services.workspace = std::make_shared<const MacWorkspace>();
  services.accessibility = std::make_shared<const MacAccessibility>();
  services.screenCapture = std::make_shared<const MacScreenCapture>();
  services.keyboard = std::make_shared<const MacKeyboardEvents>();
  return services;
}

}  // namespace pellucor::platform::macos
