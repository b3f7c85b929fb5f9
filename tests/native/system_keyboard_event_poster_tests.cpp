#include "native/system_keyboard_event_poster.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "support/fake_keyboard_events.hpp"

namespace pellucor {
namespace {

using testing::FakeKeyboardEvents;
using Posted = FakeKeyboardEvents::Posted;

const FakeKeyboardEvents::Event& event(const platform::PlatformHandle& handle) {
  return dynamic_cast<const FakeKeyboardEvents::Event&>(*handle);
}

// The ANSI virtual key code of every physical key, by wire name.
struct KeyCodeCase {
  const char* key;
  std::uint16_t code;
};

constexpr KeyCodeCase kKeyCodes[] = {
    {"a", 0x00},         {"b", 0x0B},         {"c", 0x08},          {"d", 0x02},          {"e", 0x0E},
    {"f", 0x03},         {"g", 0x05},         {"h", 0x04},          {"i", 0x22},          {"j", 0x26},
    {"k", 0x28},         {"l", 0x25},         {"m", 0x2E},          {"n", 0x2D},          {"o", 0x1F},
    {"p", 0x23},         {"q", 0x0C},         {"r", 0x0F},          {"s", 0x01},          {"t", 0x11},
    {"u", 0x20},         {"v", 0x09},         {"w", 0x0D},          {"x", 0x07},          {"y", 0x10},
    {"z", 0x06},         {"0", 0x1D},         {"1", 0x12},          {"2", 0x13},          {"3", 0x14},
    {"4", 0x15},         {"5", 0x17},         {"6", 0x16},          {"7", 0x1A},          {"8", 0x1C},
    {"9", 0x19},         {"space", 0x31},     {"return", 0x24},     {"tab", 0x30},        {"escape", 0x35},
    {"delete", 0x33},    {"left", 0x7B},      {"right", 0x7C},      {"up", 0x7E},         {"down", 0x7D},
    {"home", 0x73},      {"end", 0x77},       {"page_up", 0x74},    {"page_down", 0x79},  {"minus", 0x1B},
    {"equal", 0x18},     {"left_bracket", 0x21}, {"right_bracket", 0x1E}, {"backslash", 0x2A}, {"semicolon", 0x29},
    {"quote", 0x27},     {"comma", 0x2B},     {"period", 0x2F},     {"slash", 0x2C},      {"grave", 0x32},
};

class KeyCodeTest : public ::testing::TestWithParam<KeyCodeCase> {};

TEST_P(KeyCodeTest, BothEventsCarryTheANSIKeyCode) {
  const auto key = physicalKeyFromWireName(GetParam().key);
  ASSERT_TRUE(key.has_value()) << "no physical key named " << GetParam().key;
  auto keyboard = std::make_shared<FakeKeyboardEvents>();
  SystemKeyboardEventPoster poster(keyboard);
  const auto pair = poster.makePair(*key, {});
  EXPECT_EQ(event(pair->down()).keyCode, GetParam().code);
  EXPECT_TRUE(event(pair->down()).keyDown);
  EXPECT_EQ(event(pair->up()).keyCode, GetParam().code);
  EXPECT_FALSE(event(pair->up()).keyDown);
}

std::string keyCaseName(const ::testing::TestParamInfo<KeyCodeCase>& info) {
  const std::string key = info.param.key;
  return key[0] >= '0' && key[0] <= '9' ? "digit" + key : key;
}

INSTANTIATE_TEST_SUITE_P(AllKeys, KeyCodeTest, ::testing::ValuesIn(kKeyCodes), keyCaseName);

TEST(SystemKeyboardEventPosterTest, TheTableAboveCoversEveryKeyOnce) {
  std::set<std::string_view> tabled;
  for (const KeyCodeCase& c : kKeyCodes) tabled.insert(c.key);
  std::set<std::string_view> all;
  for (const PhysicalKey key : allPhysicalKeys()) all.insert(wireName(key));
  EXPECT_EQ(tabled, all);
  EXPECT_EQ(std::size(kKeyCodes), all.size());
}

struct FlagsCase {
  const char* name;
  std::vector<KeyModifier> modifiers;
  std::uint64_t flags;
};

class ModifierFlagsTest : public ::testing::TestWithParam<FlagsCase> {};

TEST_P(ModifierFlagsTest, FlagsAreSetOnBothEventsEvenWhenNone) {
  auto keyboard = std::make_shared<FakeKeyboardEvents>();
  SystemKeyboardEventPoster poster(keyboard);
  const auto pair = poster.makePair(PhysicalKey::s, GetParam().modifiers);
  for (const auto* half : {&pair->down(), &pair->up()}) {
    EXPECT_TRUE(event(*half).flagsSet);
    EXPECT_EQ(event(*half).flags, GetParam().flags);
  }
  EXPECT_TRUE(keyboard->posted().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Modifiers, ModifierFlagsTest,
    ::testing::Values(FlagsCase{"None", {}, 0}, FlagsCase{"Command", {KeyModifier::command}, 0x100000},
                      FlagsCase{"Shift", {KeyModifier::shift}, 0x20000},
                      FlagsCase{"Option", {KeyModifier::option}, 0x80000},
                      FlagsCase{"Control", {KeyModifier::control}, 0x40000},
                      FlagsCase{"CommandShift", {KeyModifier::command, KeyModifier::shift}, 0x120000},
                      FlagsCase{"ShiftOptionControl", {KeyModifier::shift, KeyModifier::option, KeyModifier::control},
                                0xE0000}),
    [](const auto& row) { return std::string(row.param.name); });

void expectCreationFailure(SystemKeyboardEventPoster& poster, PhysicalKey key) {
  try {
    poster.makePair(key, {});
    FAIL() << "a pair was made";
  } catch (const PellucorError& error) {
    EXPECT_EQ(error.code, "event_creation_failed");
    EXPECT_EQ(error.message, "paired physical key events could not be created");
  }
}

TEST(SystemKeyboardEventPosterTest, CreationFailuresLeaveNoEventBehind) {
  {
    auto keyboard = std::make_shared<FakeKeyboardEvents>();
    keyboard->failingCreations = {0};
    SystemKeyboardEventPoster poster(keyboard);
    expectCreationFailure(poster, PhysicalKey::a);
    EXPECT_EQ(keyboard->creations(), 1) << "the key-up was created after the key-down failed";
  }
  {
    auto keyboard = std::make_shared<FakeKeyboardEvents>();
    keyboard->failingCreations = {1};
    SystemKeyboardEventPoster poster(keyboard);
    expectCreationFailure(poster, PhysicalKey::a);
    EXPECT_FALSE(keyboard->anyEventStillHeld()) << "the key-down outlived the failed pair";
  }
  {
    auto keyboard = std::make_shared<FakeKeyboardEvents>();
    SystemKeyboardEventPoster poster(keyboard);
    expectCreationFailure(poster, static_cast<PhysicalKey>(kPhysicalKeyCount));
    EXPECT_EQ(keyboard->creations(), 0);
  }
  {
    auto keyboard = std::make_shared<FakeKeyboardEvents>();
    SystemKeyboardEventPoster poster(keyboard);
    poster.makePair(PhysicalKey::a, {});
    EXPECT_FALSE(keyboard->anyEventStillHeld()) << "the pair does not release its events";
  }
}

TEST(SystemKeyboardEventPosterTest, PostsEachHalfAtTheHIDTap) {
  auto keyboard = std::make_shared<FakeKeyboardEvents>();
  SystemKeyboardEventPoster poster(keyboard);
  const auto pair = poster.makePair(PhysicalKey::returnKey, {KeyModifier::command});
  EXPECT_TRUE(poster.postDown(*pair));
  EXPECT_TRUE(poster.postUp(*pair));
  EXPECT_THAT(keyboard->posted(),
              ::testing::ElementsAre(Posted{0x24, true, 0x100000, 0}, Posted{0x24, false, 0x100000, 0}));
}

TEST(SystemKeyboardEventPosterTest, AnswersFalseForAMissingOrUnpostableEvent) {
  auto keyboard = std::make_shared<FakeKeyboardEvents>();
  SystemKeyboardEventPoster poster(keyboard);
  const auto full = poster.makePair(PhysicalKey::a, {});
  const KeyboardEventPair empty(nullptr, nullptr);
  EXPECT_FALSE(poster.postDown(empty));
  EXPECT_FALSE(poster.postUp(empty));
  EXPECT_TRUE(keyboard->posted().empty());

  keyboard->postingThrows = true;
  EXPECT_FALSE(poster.postDown(*full));
  EXPECT_FALSE(poster.postUp(*full));
}

}  // namespace
}  // namespace pellucor
