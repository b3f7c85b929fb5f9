#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include "platform/stop_token.hpp"
#include <string>
#include <string_view>
#include <vector>

#include "platform/accessibility.hpp"
#include "platform/code_signing.hpp"
#include "platform/file_system.hpp"
#include "platform/keyboard_events.hpp"
#include "platform/main_bundle.hpp"
#include "platform/process_table.hpp"
#include "platform/screen_capture.hpp"
#include "platform/simulated/desktop_state.hpp"
#include "platform/workspace.hpp"

namespace pellucor::simulated {

// What every simulated service holds: shared ownership of the running
// desktop, so that a worker left behind by a bounded wait can still use it.
class SimulatedService {
 public:
  explicit SimulatedService(std::shared_ptr<DesktopState> state) : state_(std::move(state)) {}

 protected:
  const DesktopModel& model() const noexcept { return state_->model(); }
  DesktopState& state() const noexcept { return *state_; }

 private:
  std::shared_ptr<DesktopState> state_;
};

class SimulatedMainBundle final : public platform::MainBundleService, SimulatedService {
 public:
  using SimulatedService::SimulatedService;
  std::optional<std::string> bundleIdentifier() const override;
  std::optional<std::string> executablePath() const override;
  std::string bundlePath() const override;
  std::optional<platform::PlatformValue> infoValue(std::string_view key) const override;
};

// Paths are compared after standardisation. A path that reaches a listed
// bundle or an unreadable place through links counts as reaching it, as
// the kernel follows links in every component but the last.
class SimulatedFileSystem final : public platform::FileSystemService, SimulatedService {
 public:
  using SimulatedService::SimulatedService;
  std::string resolvingSymlinksInPath(std::string_view path) const override;
  std::optional<bool> isSymbolicLink(std::string_view path) const override;
  std::optional<platform::OpenedBundle> openBundle(std::string_view path) const override;
};

class SimulatedProcessTable final : public platform::ProcessTableService, SimulatedService {
 public:
  using SimulatedService::SimulatedService;
  std::int32_t parentProcessID() const override;
  std::optional<std::string> executablePath(std::int32_t pid) const override;
  std::optional<std::int32_t> parentOf(std::int32_t pid) const override;
};

class SimulatedCodeSigning final : public platform::CodeSigningService, SimulatedService {
 public:
  using SimulatedService::SimulatedService;
  platform::CodeResult copySelf(std::uint32_t flags) const override;
  platform::CodeResult copyGuestWithPid(std::int32_t pid, std::uint32_t flags) const override;
  std::int32_t checkValidity(const platform::PlatformHandle& code, std::uint32_t flags) const override;
  platform::CodeResult copyStaticCode(const platform::PlatformHandle& code, std::uint32_t flags) const override;
  std::int32_t checkStaticValidity(const platform::PlatformHandle& staticCode, std::uint32_t flags) const override;
  platform::SigningInformationResult copySigningInformation(const platform::PlatformHandle& code,
                                                            std::uint32_t flags) const override;
};

class SimulatedWorkspace final : public platform::WorkspaceService, SimulatedService {
 public:
  using SimulatedService::SimulatedService;
  std::optional<platform::RunningApplication> frontmostApplication() const override;
};

class SimulatedAccessibility final : public platform::AccessibilityService, SimulatedService {
 public:
  using SimulatedService::SimulatedService;
  bool isProcessTrusted() const override;
  bool isProcessTrustedWithPrompt() const override;
  platform::PlatformHandle createApplicationElement(std::int32_t pid) const override;
  platform::AXResult copyAttributeValue(const platform::PlatformHandle& element,
                                        std::string_view attribute) const override;
  platform::AXResult copyActionNames(const platform::PlatformHandle& element) const override;
};

class SimulatedScreenCapture final : public platform::ScreenCaptureService, SimulatedService {
 public:
  using SimulatedService::SimulatedService;
  std::vector<platform::ShareableWindow> shareableWindows(platform::StopToken stop) const override;
  platform::CapturedImage captureImage(const platform::PlatformHandle& window,
                                       const platform::CaptureConfiguration& configuration,
                                       platform::StopToken stop) const override;
  std::optional<platform::PlatformValue> windowList(std::uint32_t options,
                                                    std::uint32_t relativeToWindow) const override;
};

class SimulatedKeyboardEvents final : public platform::KeyboardEventService, SimulatedService {
 public:
  using SimulatedService::SimulatedService;
  platform::PlatformHandle createKeyboardEvent(std::uint16_t keyCode, bool keyDown) const override;
  void setFlags(const platform::PlatformHandle& event, std::uint64_t flags) const override;
  void post(const platform::PlatformHandle& event, std::uint32_t tap) const override;
};

}  // namespace pellucor::simulated
