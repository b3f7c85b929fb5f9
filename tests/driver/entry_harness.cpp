// The helper's entry built over scripted collaborators, so that tests can run
// it as a real process and see exactly the bytes and the status it leaves
// behind. Being test code, it takes its script from the environment
// (PELLUCOR_ENTRY_HARNESS_SCRIPT): "succeed" (the default) or "refuse".

#include <cstdlib>
#include <string_view>

#include "driver/pellucor_main.hpp"
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
  // Calendar time stands still, so every duration is 0 ms and the output is
  // exact; the reader's waits still last their real time, since poll(2) does.
  const testing::FakeClock clock;
  testing::FakeComponents components(script, clock);
  PellucorMain::main(argc, argv, components);
}
