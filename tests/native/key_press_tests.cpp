#include "native/key_press.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "native/error_outcome.hpp"
#include "native/system_keyboard_event_poster.hpp"
#include "platform/platform_error.hpp"
#include "support/fake_keyboard_events.hpp"
#include "target_fixture.hpp"

namespace pellucor {
namespace {

using testing::FakeKeyboardEvents;
using testing::focusedSnapshot;
using testing::hostTarget;
using testing::reads;
using testing::ScriptedReader;
using Posted = FakeKeyboardEvents::Posted;

constexpr platform::Rect kFrame{100, 200, 1280, 800};
constexpr char kChangedMessage[] = "target changed or timed out after key-down; cleanup release was forced";

// One key press through MacNativeOperations, the system poster and a fake
// keyboard, with the focused window read as the reader's script says.
class PostKeyTest : public ::testing::Test {
 protected:
  NativeExecution press(PhysicalKey key, std::vector<KeyModifier> modifiers = {}) {
    const auto operations =
        testing::hostOperations(reader, std::make_shared<SystemKeyboardEventPoster>(keyboard), nullptr);
    return operations->postKey(key, modifiers, hostTarget(), deadline);
  }

  // The error of pressing `a`, as "code / message".
  std::string failure() {
    return testing::failureOf([&] { press(PhysicalKey::a); });
  }

  void focus(std::vector<ScriptedReader::Step> steps) { reader = std::make_shared<ScriptedReader>(std::move(steps)); }

  // A read that moves the clock past the deadline before it answers.
  ScriptedReader::Step slowRead() {
    return [clock = clock] {
      clock.advance(2'000'000'000);
      return focusedSnapshot(kFrame);
    };
  }

  testing::DeadlineClock clock;
  MonotonicDeadline deadline = clock.deadline(1);
  std::shared_ptr<FakeKeyboardEvents> keyboard = std::make_shared<FakeKeyboardEvents>();
  std::shared_ptr<ScriptedReader> reader =
      std::make_shared<ScriptedReader>(std::vector{reads(focusedSnapshot(kFrame))});
};

struct PressCase {
  const char* name;
  PhysicalKey key;
  std::vector<KeyModifier> modifiers;
  std::uint16_t code;
  std::uint64_t flags;
};

class PostKeyPressTest : public PostKeyTest, public ::testing::WithParamInterface<PressCase> {};

TEST_P(PostKeyPressTest, PostsOneKeyDownAndOneKeyUpCarryingTheModifiers) {
  const PressCase& c = GetParam();
  const NativeExecution execution = press(c.key, c.modifiers);
  EXPECT_THAT(keyboard->posted(), ::testing::ElementsAre(Posted{c.code, true, c.flags, 0},
                                                         Posted{c.code, false, c.flags, 0}));
  EXPECT_EQ(execution.result, JSONValue(JSONValue::Object{{"posted", JSONValue(true)}}));
  EXPECT_EQ(execution.observation.pid, 501);
  EXPECT_FALSE(execution.observation.windowID.has_value());
  EXPECT_EQ(reader->reads(), 2u) << "the target was not validated both before and after the key-down";
}

INSTANTIATE_TEST_SUITE_P(
    Keys, PostKeyPressTest,
    ::testing::Values(PressCase{"KeyA", PhysicalKey::a, {}, 0x00, 0},
                      PressCase{"HotkeyCommandShiftS", PhysicalKey::s, {KeyModifier::command, KeyModifier::shift},
                                0x01, 0x120000},
                      PressCase{"DeleteIsBackspace", PhysicalKey::deleteKey, {}, 0x33, 0},
                      PressCase{"ReturnIsTheMainReturnKey", PhysicalKey::returnKey, {}, 0x24, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(PostKeyTest, NothingIsPostedWhenTheFirstValidationFails) {
  focus({reads(focusedSnapshot(kFrame, "Zorvane Dev"))});
  EXPECT_EQ(failure(), "wrong_window_title / focused AX window title differs from the release product");
  EXPECT_TRUE(keyboard->posted().empty());
}

TEST_F(PostKeyTest, EventCreationFailsBeforeTheTargetIsLookedAt) {
  keyboard->failingCreations = {1};
  EXPECT_EQ(failure(), "event_creation_failed / paired physical key events could not be created");
  EXPECT_EQ(reader->reads(), 0u);
  EXPECT_TRUE(keyboard->posted().empty());
}

TEST_F(PostKeyTest, FocusLostWhileTheKeyIsDownStillReleasesIt) {
  focus({reads(focusedSnapshot(kFrame)), reads(focusedSnapshot(kFrame, "Untitled"))});
  EXPECT_EQ(failure(), std::string("input_partial_target_changed / ") + kChangedMessage);
  EXPECT_THAT(keyboard->posted(),
              ::testing::ElementsAre(Posted{0x00, true, 0, 0}, Posted{0x00, false, 0, 0}));
}

TEST_F(PostKeyTest, TheDeadlinePassingDuringTheSecondValidationStillReleasesTheKey) {
  focus({reads(focusedSnapshot(kFrame)), slowRead()});
  EXPECT_EQ(failure(), std::string("input_partial_timeout / ") + kChangedMessage);
  EXPECT_THAT(keyboard->posted(),
              ::testing::ElementsAre(Posted{0x00, true, 0, 0}, Posted{0x00, false, 0, 0}));
}

TEST_F(PostKeyTest, AnyOtherFailureOfTheSecondValidationStillReleasesTheKey) {
  focus({reads(focusedSnapshot(kFrame)), []() -> AXReadSnapshot { throw platform::PlatformError("AX gone"); }});
  EXPECT_EQ(failure(),
            "input_partial_target_changed / target revalidation failed after key-down; cleanup release was forced");
  EXPECT_EQ(keyboard->posted().size(), 2u);

  keyboard = std::make_shared<FakeKeyboardEvents>();
  focus({reads(focusedSnapshot(kFrame)), []() -> AXReadSnapshot { throw std::bad_alloc(); }});
  EXPECT_EQ(failure(),
            "input_partial_target_changed / target revalidation failed after key-down; cleanup release was forced");
  EXPECT_THAT(keyboard->posted(),
              ::testing::ElementsAre(Posted{0x00, true, 0, 0}, Posted{0x00, false, 0, 0}));
}

// A poster whose pair may lack either event and whose answers are scripted;
// it logs every call and every half it actually posted.
class ScriptedPoster final : public KeyboardEventPosting {
 public:
  enum class Pair { throwsOwnError, throwsPlatformError, none, neither, downOnly, upOnly, both };
  enum class Answer { posts, refuses, throws };

  ScriptedPoster(Pair pair, Answer down, Answer up) : pair_(pair), down_(down), up_(up) {}

  std::shared_ptr<const KeyboardEventPair> makePair(PhysicalKey, const std::vector<KeyModifier>&) override {
    calls.push_back("makePair");
    const auto event = std::make_shared<const platform::PlatformObject>();
    switch (pair_) {
      case Pair::throwsOwnError: throw PellucorError("substitute_refused", "the substitute refused");
      case Pair::throwsPlatformError: throw platform::PlatformError("no event source");
      case Pair::none: return nullptr;
      case Pair::neither: return std::make_shared<const KeyboardEventPair>(nullptr, nullptr);
      case Pair::downOnly: return std::make_shared<const KeyboardEventPair>(event, nullptr);
      case Pair::upOnly: return std::make_shared<const KeyboardEventPair>(nullptr, event);
      case Pair::both: return std::make_shared<const KeyboardEventPair>(event, event);
    }
    return nullptr;
  }
  bool postDown(const KeyboardEventPair& pair) override { return post("down", pair.down() != nullptr, down_); }
  bool postUp(const KeyboardEventPair& pair) override { return post("up", pair.up() != nullptr, up_); }

  std::vector<std::string> calls;
  std::vector<std::string> posted;

 private:
  bool post(const char* half, bool present, Answer answer) {
    calls.push_back(half);
    switch (answer) {
      case Answer::throws: throw platform::PlatformError("posting failed");
      case Answer::refuses: return false;
      case Answer::posts:
        if (!present) return false;
        posted.push_back(half);
        return true;
    }
    return false;
  }

  Pair pair_;
  Answer down_;
  Answer up_;
};

using Pair = ScriptedPoster::Pair;
using Answer = ScriptedPoster::Answer;

// How one validation ends.
enum class Validation { succeeds, succeedsAfterTheDeadline, refuses, timesOut, platformFails, outOfMemory };

ValidatedTarget validation(Validation outcome, const testing::DeadlineClock& clock) {
  switch (outcome) {
    case Validation::succeeds: break;
    case Validation::succeedsAfterTheDeadline: clock.advance(1'000'000'000); break;
    case Validation::refuses: throw PellucorError("wrong_frontmost", "target is not the exact frontmost Zorvane process");
    case Validation::timesOut: throw PellucorError("operation_timeout", "operation exceeded its monotonic deadline");
    case Validation::platformFails: throw platform::PlatformError("accessibility failed");
    case Validation::outOfMemory: throw std::bad_alloc();
  }
  ValidatedTarget validated{TargetObservation{}, focusedSnapshot(kFrame)};
  validated.observation.pid = 501;
  return validated;
}

// The outcome of one key press as "code / message", "succeeded", "platform
// error" or "out of memory".
std::string run(ScriptedPoster& poster, Validation first, Validation second) {
  const testing::DeadlineClock clock;
  const MonotonicDeadline deadline = clock.deadline(1);
  int validations = 0;
  try {
    return testing::failureOf([&] {
      pressKey(poster, PhysicalKey::a, {},
               [&] { return validation(++validations == 1 ? first : second, clock); }, deadline);
    });
  } catch (const platform::PlatformError&) {
    return "platform error";
  } catch (const std::bad_alloc&) {
    return "out of memory";
  }
}

TEST(PressKeyTest, SubstitutePairsWithoutAnEventStillGetExactlyOneRelease) {
  struct Case {
    const char* name;
    Pair pair;
    Validation second;
    const char* outcome;
    std::vector<std::string> posted;
  };
  const Case cases[] = {
      {"NoKeyDown", Pair::upOnly, Validation::succeeds,
       "input_down_ambiguous / key-down reporting failed; one cleanup release was forced", {"up"}},
      {"Neither", Pair::neither, Validation::succeeds,
       "input_cleanup_failed / ambiguous key-down and mandatory key-up cleanup both failed", {}},
      {"NoKeyUp", Pair::downOnly, Validation::succeeds,
       "input_cleanup_failed / key-down was posted and the single mandatory key-up cleanup attempt failed", {"down"}},
      {"NoKeyUpAndTargetChanged", Pair::downOnly, Validation::refuses,
       "input_cleanup_failed / key-down was posted and the single mandatory key-up cleanup attempt failed", {"down"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPoster poster(c.pair, Answer::posts, Answer::posts);
    EXPECT_EQ(run(poster, Validation::succeeds, c.second), c.outcome);
    EXPECT_THAT(poster.calls, ::testing::ElementsAre("makePair", "down", "up"));
    EXPECT_EQ(poster.posted, c.posted);
  }
}

TEST(PressKeyTest, TheDeadlinePassingBeforeTheKeyDownPostsNothing) {
  ScriptedPoster poster(Pair::both, Answer::posts, Answer::posts);
  EXPECT_EQ(run(poster, Validation::succeedsAfterTheDeadline, Validation::succeeds),
            "input_timeout_before_post / operation exceeded its monotonic deadline");
  EXPECT_THAT(poster.calls, ::testing::ElementsAre("makePair"));
}

TEST(PressKeyTest, APosterWithoutPairFailsBeforeTheTargetIsLookedAt) {
  ScriptedPoster poster(Pair::none, Answer::posts, Answer::posts);
  EXPECT_EQ(run(poster, Validation::refuses, Validation::succeeds),
            "event_creation_failed / paired physical key events could not be created");
  EXPECT_THAT(poster.calls, ::testing::ElementsAre("makePair"));
}

// What a key press must end with, worked out from the rules alone.
std::string expectedOutcome(Pair pair, Answer down, Answer up, Validation first, Validation second) {
  switch (pair) {
    case Pair::throwsOwnError: return "substitute_refused / the substitute refused";
    case Pair::throwsPlatformError: return "platform error";
    case Pair::none: return "event_creation_failed / paired physical key events could not be created";
    case Pair::neither:
    case Pair::downOnly:
    case Pair::upOnly:
    case Pair::both: break;
  }
  switch (first) {
    case Validation::succeeds: break;
    case Validation::succeedsAfterTheDeadline:
      return "input_timeout_before_post / operation exceeded its monotonic deadline";
    case Validation::refuses: return "wrong_frontmost / target is not the exact frontmost Zorvane process";
    case Validation::timesOut: return "operation_timeout / operation exceeded its monotonic deadline";
    case Validation::platformFails: return "platform error";
    case Validation::outOfMemory: return "out of memory";
  }
  const bool hasDown = pair == Pair::downOnly || pair == Pair::both;
  const bool hasUp = pair == Pair::upOnly || pair == Pair::both;
  const bool upPosted = hasUp && up == Answer::posts;
  if (!(hasDown && down == Answer::posts)) {
    return upPosted ? "input_down_ambiguous / key-down reporting failed; one cleanup release was forced"
                    : "input_cleanup_failed / ambiguous key-down and mandatory key-up cleanup both failed";
  }
  if (!upPosted) return "input_cleanup_failed / key-down was posted and the single mandatory key-up cleanup attempt failed";
  switch (second) {
    case Validation::succeeds: return "succeeded";
    case Validation::succeedsAfterTheDeadline:
    case Validation::timesOut: return std::string("input_partial_timeout / ") + kChangedMessage;
    case Validation::refuses: return std::string("input_partial_target_changed / ") + kChangedMessage;
    case Validation::platformFails:
    case Validation::outOfMemory:
      return "input_partial_target_changed / target revalidation failed after key-down; cleanup release was forced";
  }
  return "unreachable";
}

// Every combination of pair, poster answers and validation outcomes: a
// key-down is attempted at most once, a key-up is attempted exactly once
// after any key-down attempt and never otherwise, and the outcome is the one
// the rules name for that path.
TEST(PressKeyTest, EveryPathReleasesAKeyThatMayBeDownExactlyOnce) {
  const Pair pairs[] = {Pair::throwsOwnError, Pair::throwsPlatformError, Pair::none, Pair::neither,
                        Pair::downOnly, Pair::upOnly, Pair::both};
  const Answer answers[] = {Answer::posts, Answer::refuses, Answer::throws};
  const Validation validations[] = {Validation::succeeds, Validation::succeedsAfterTheDeadline,
                                    Validation::refuses, Validation::timesOut,
                                    Validation::platformFails, Validation::outOfMemory};
  for (const Pair pair : pairs) {
    for (const Answer down : answers) {
      for (const Answer up : answers) {
        for (const Validation first : validations) {
          for (const Validation second : validations) {
            SCOPED_TRACE(::testing::Message() << "pair " << static_cast<int>(pair) << ", down "
                                              << static_cast<int>(down) << ", up " << static_cast<int>(up)
                                              << ", first " << static_cast<int>(first) << ", second "
                                              << static_cast<int>(second));
            ScriptedPoster poster(pair, down, up);
            const std::string outcome = run(poster, first, second);
            EXPECT_EQ(outcome, expectedOutcome(pair, down, up, first, second));

            const auto count = [&](const std::string& half) {
              return std::count(poster.calls.begin(), poster.calls.end(), half);
            };
            ASSERT_LE(count("down"), 1);
            ASSERT_EQ(count("up"), count("down")) << "a key-down attempt without exactly one key-up attempt";
            if (count("down") == 1) {
              EXPECT_EQ(poster.calls.back(), "up");
            }
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace pellucor
