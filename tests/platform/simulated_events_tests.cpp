#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform_error.hpp"
#include "simulated_desktop_fixture.hpp"

namespace pellucor::simulated {
namespace {

using platform::CaptureConfiguration;
using testing::desktopFrom;
using Lines = std::vector<std::string>;

std::string contentsOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

std::string freshPath(const std::string& name) {
  const std::string path = ::testing::TempDir() + "/" + name;
  std::remove(path.c_str());
  return path;
}

TEST(SimulatedEvents, KeyEventsCarryTheFlagsTheyHadWhenPosted) {
  const auto desktop = desktopFrom("{}");
  const auto keyboard = desktop->services().keyboard;
  const auto down = keyboard->createKeyboardEvent(1, true);
  const auto up = keyboard->createKeyboardEvent(1, false);
  ASSERT_NE(down, nullptr);
  ASSERT_NE(up, nullptr);
  keyboard->setFlags(down, 0x100000);
  keyboard->setFlags(up, 0x100000);
  keyboard->post(down, platform::kHIDEventTap);
  keyboard->setFlags(down, 0x120000);  // too late for the posted event
  keyboard->post(up, platform::kHIDEventTap);
  EXPECT_EQ(desktop->events(), (Lines{R"({"event":"key_down","flags":1048576,"key_code":1})",
                                      R"({"event":"key_up","flags":1048576,"key_code":1})"}));
}

TEST(SimulatedEvents, EventCreationCanBeMadeToFail) {
  const auto keyboard = desktopFrom(R"({"keyboard": {"event_creation": false}})")->services().keyboard;
  EXPECT_EQ(keyboard->createKeyboardEvent(0, true), nullptr);
  EXPECT_NE(desktopFrom(R"({"keyboard": {"event_creation": true}})")->services().keyboard->createKeyboardEvent(0, true),
            nullptr);
}

TEST(SimulatedEvents, OnlyTheTrustRequestWithPromptIsAnEvent) {
  const auto desktop = desktopFrom(R"({"accessibility": {"trusted": false, "prompt_answer": true}})");
  const auto accessibility = desktop->services().accessibility;
  EXPECT_FALSE(accessibility->isProcessTrusted());
  EXPECT_TRUE(accessibility->isProcessTrustedWithPrompt());
  EXPECT_EQ(desktop->events(), (Lines{R"({"event":"trust_prompt"})"}));
}

TEST(SimulatedEvents, CapturesRecordTheConfigurationAsItWasSet) {
  const auto desktop = desktopFrom(R"({"screen": {"windows": [
    {"window_id": 42, "frame": [0, 0, 10, 10], "capture_error": "refused"}]}})");
  const auto screen = desktop->services().screenCapture;
  const auto window = screen->shareableWindows({}).at(0).handle;

  CaptureConfiguration requestMode;
  requestMode.width = 1280;
  requestMode.height = 800;
  requestMode.showsCursor = false;
  requestMode.captureResolution = platform::kCaptureResolutionBest;
  requestMode.pixelFormat = platform::kPixelFormatBGRA;
  CaptureConfiguration approvalMode;
  approvalMode.width = 1;
  approvalMode.height = 3000;
  approvalMode.showsCursor = false;
  CaptureConfiguration unusual;
  unusual.captureResolution = 2;
  unusual.pixelFormat = 0x6C313072;

  for (const auto& configuration : {requestMode, approvalMode, unusual}) {
    // The capture fails, but the system saw it asked for.
    EXPECT_THROW((void)screen->captureImage(window, configuration, {}), platform::PlatformError);
  }
  EXPECT_EQ(desktop->events(),
            (Lines{R"({"capture_resolution":"best","event":"capture","height":800,"pixel_format":"BGRA","shows_cursor":false,"width":1280,"window_id":42})",
                   R"({"capture_resolution":"default","event":"capture","height":3000,"pixel_format":"default","shows_cursor":false,"width":1,"window_id":42})",
                   R"({"capture_resolution":2,"event":"capture","height":null,"pixel_format":1815162994,"shows_cursor":null,"width":null,"window_id":42})"}));
}

TEST(SimulatedEvents, TheEventsFileGetsEveryEventAppendedAsALine) {
  const std::string path = freshPath("events-appended.jsonl");
  {
    std::ofstream earlier(path);
    earlier << "{\"event\":\"earlier\"}\n";
  }
  const auto desktop = SimulatedDesktop::loadText("{}", "/", path);
  const auto services = desktop->services();
  services.accessibility->isProcessTrustedWithPrompt();
  const auto event = services.keyboard->createKeyboardEvent(0x24, true);
  services.keyboard->post(event, platform::kHIDEventTap);
  EXPECT_EQ(contentsOf(path),
            "{\"event\":\"earlier\"}\n"
            "{\"event\":\"trust_prompt\"}\n"
            "{\"event\":\"key_down\",\"flags\":0,\"key_code\":36}\n");
  EXPECT_EQ(desktop->events().size(), 2u);
}

TEST(SimulatedEvents, TheEventsFileIsCreatedEvenWithoutEvents) {
  const std::string path = freshPath("events-empty.jsonl");
  const auto desktop = SimulatedDesktop::loadText("{}", "/", path);
  EXPECT_TRUE(std::ifstream(path).good());
  EXPECT_EQ(contentsOf(path), "");
}

TEST(SimulatedEvents, AnEventsFileThatCannotBeOpenedIsADesktopFileError) {
  try {
    SimulatedDesktop::loadText("{}", "/", "/nonexistent-directory/events.jsonl");
    FAIL() << "accepted";
  } catch (const DesktopFileError& error) {
    EXPECT_STREQ(error.what(),
                 "/nonexistent-directory/events.jsonl: the events file cannot be opened (No such file or directory)");
  }
}

TEST(SimulatedEvents, EventsFromSeveralThreadsAreAllKeptWhole) {
  const std::string path = freshPath("events-threads.jsonl");
  const auto desktop = SimulatedDesktop::loadText("{}", "/", path);
  const auto keyboard = desktop->services().keyboard;
  std::vector<std::thread> posters;
  for (std::uint16_t code = 0; code < 4; ++code) {
    posters.emplace_back([keyboard, code] {
      for (int i = 0; i < 50; ++i) keyboard->post(keyboard->createKeyboardEvent(code, true), platform::kHIDEventTap);
    });
  }
  for (auto& poster : posters) poster.join();
  const Lines events = desktop->events();
  ASSERT_EQ(events.size(), 200u);
  std::string expectedFile;
  for (const std::string& line : events) expectedFile += line + "\n";
  EXPECT_EQ(contentsOf(path), expectedFile);
}

}  // namespace
}  // namespace pellucor::simulated
