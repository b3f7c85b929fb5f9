// The helper's entry built over scripted collaborators, so that tests can run
// it as a real process and see exactly the bytes and the status it leaves
// behind. Being test code, it takes its script from the environment
// (PELLUCOR_ENTRY_HARNESS_SCRIPT): "succeed" (the default), "refuse", or
// "large" (a success whose result path is kLargeResultPathBytes of "x").

#include <cstdlib>
#include <string>
#include <string_view>

#include "driver/pellucor_main.hpp"
#include "driver_test_lines.hpp"
#include "fake_components.hpp"

int main(int argc, char** argv) {
  using namespace pellucor;
  testing::DriverScript script;
  const char* chosen = std::getenv("PELLUCOR_ENTRY_HARNESS_SCRIPT");
  if (chosen != nullptr && std::string_view(chosen) == "refuse") {
    script.native = [](const testing::NativeCall&) -> NativeExecution {
      throw PellucorError("wrong_frontmost", "target is not frontmost");
    };
  }
  if (chosen != nullptr && std::string_view(chosen) == "large") {
    script.native = [](const testing::NativeCall&) {
      NativeExecution execution = testing::exampleExecution();
      execution.result = JSONValue(JSONValue::Object{
          {"posted", JSONValue(true)}, {"path", JSONValue(std::string(testing::kLargeResultPathBytes, 'x'))}});
      return execution;
    };
  }
  // Calendar time stands still, so every duration is 0 ms and the output is
  // exact; the reader's waits still last their real time, since poll(2) does.
  const testing::FakeClock clock;
  testing::FakeComponents components(script, clock);
  PellucorMain::main(argc, argv, components);
}
