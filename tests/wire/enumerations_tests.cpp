#include "wire/enumerations.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace pellucor {
namespace {

// Every wire name, in declaration order.
constexpr std::string_view kKeyNames[] = {
    "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o", "p", "q", "r", "s", "t",
    "u", "v", "w", "x", "y", "z", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9",
    "space", "return", "tab", "escape", "delete", "left", "right", "up", "down", "home", "end", "page_up",
    "page_down", "minus", "equal", "left_bracket", "right_bracket", "backslash", "semicolon", "quote",
    "comma", "period", "slash", "grave",
};
constexpr std::string_view kOperationNames[] = {"observe_ax", "enumerate_target_windows",
                                                "capture_target_window", "key", "hotkey"};
constexpr std::string_view kModifierNames[] = {"command", "shift", "option", "control"};

TEST(Enumerations, AllCasesInDeclarationOrderWithTheirWireNames) {
  ASSERT_EQ(allPhysicalKeys().size(), std::size(kKeyNames));
  for (std::size_t i = 0; i < std::size(kKeyNames); ++i) {
    SCOPED_TRACE(kKeyNames[i]);
    EXPECT_EQ(wireName(allPhysicalKeys()[i]), kKeyNames[i]);
    EXPECT_EQ(physicalKeyFromWireName(kKeyNames[i]), allPhysicalKeys()[i]);
  }
  ASSERT_EQ(allOperations().size(), std::size(kOperationNames));
  for (std::size_t i = 0; i < std::size(kOperationNames); ++i) {
    SCOPED_TRACE(kOperationNames[i]);
    EXPECT_EQ(wireName(allOperations()[i]), kOperationNames[i]);
    EXPECT_EQ(operationFromWireName(kOperationNames[i]), allOperations()[i]);
  }
  ASSERT_EQ(allModifiers().size(), std::size(kModifierNames));
  for (std::size_t i = 0; i < std::size(kModifierNames); ++i) {
    SCOPED_TRACE(kModifierNames[i]);
    EXPECT_EQ(wireName(allModifiers()[i]), kModifierNames[i]);
    EXPECT_EQ(modifierFromWireName(kModifierNames[i]), allModifiers()[i]);
  }
}

TEST(Enumerations, NamedCasesSitAtTheirPositions) {
  EXPECT_EQ(physicalKeyFromWireName("0"), PhysicalKey::zero);
  EXPECT_EQ(physicalKeyFromWireName("9"), PhysicalKey::nine);
  EXPECT_EQ(physicalKeyFromWireName("page_up"), PhysicalKey::pageUp);
  EXPECT_EQ(physicalKeyFromWireName("return"), PhysicalKey::returnKey);
  EXPECT_EQ(physicalKeyFromWireName("delete"), PhysicalKey::deleteKey);
  EXPECT_EQ(static_cast<int>(PhysicalKey::zero), 26);
  EXPECT_EQ(static_cast<int>(PhysicalKey::space), 36);
  EXPECT_EQ(static_cast<int>(PhysicalKey::pageUp), 47);
  EXPECT_EQ(static_cast<int>(PhysicalKey::pageDown), 48);
  EXPECT_EQ(static_cast<int>(PhysicalKey::grave), 59);
  EXPECT_EQ(operationFromWireName("hotkey"), PellucorOperation::hotkey);
  EXPECT_EQ(modifierFromWireName("control"), KeyModifier::control);
}

TEST(Enumerations, AnythingButAnExactWireNameIsNothing) {
  const std::string_view keys[] = {"A", "Page_Up", "PAGE_UP", "pageUp", "pageup", " page_up", "page_up ",
                                   "10", "", "zero", "returnKey", "page-up", "a\n"};
  for (const auto name : keys) EXPECT_EQ(physicalKeyFromWireName(name), std::nullopt) << "[" << name << "]";
  const std::string_view operations[] = {"parse", "Key", "observeAX", "observe_ax ", ""};
  for (const auto name : operations) EXPECT_EQ(operationFromWireName(name), std::nullopt) << "[" << name << "]";
  EXPECT_EQ(operationFromWireName(std::string_view("key\0", 4)), std::nullopt);
  const std::string_view modifiers[] = {"Command", "cmd", "shift ", "alt", ""};
  for (const auto name : modifiers) EXPECT_EQ(modifierFromWireName(name), std::nullopt) << "[" << name << "]";
}

}  // namespace
}  // namespace pellucor
