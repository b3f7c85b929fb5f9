#include "wire/enumerations.hpp"

#include <utility>

namespace pellucor {
namespace {

constexpr std::array<std::string_view, 5> kOperationNames = {
    "observe_ax", "enumerate_target_windows", "capture_target_window", "key", "hotkey"};

constexpr std::array<std::string_view, 4> kModifierNames = {"command", "shift", "option", "control"};

constexpr std::array<std::string_view, kPhysicalKeyCount> kKeyNames = {
    "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m",
    "n", "o", "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z",
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9",
    "space", "return", "tab", "escape", "delete", "left", "right", "up", "down", "home", "end",
    "page_up", "page_down", "minus", "equal", "left_bracket", "right_bracket", "backslash",
    "semicolon", "quote", "comma", "period", "slash", "grave"};

template <typename E, std::size_t N>
constexpr std::array<E, N> casesOf() {
  std::array<E, N> cases{};
  for (std::size_t i = 0; i < N; ++i) cases[i] = static_cast<E>(i);
  return cases;
}

constexpr auto kOperations = casesOf<PellucorOperation, 5>();
constexpr auto kModifiers = casesOf<KeyModifier, 4>();
constexpr auto kKeys = casesOf<PhysicalKey, kPhysicalKeyCount>();

template <typename E, std::size_t N>
std::optional<E> fromName(const std::array<std::string_view, N>& names, std::string_view name) {
  for (std::size_t i = 0; i < N; ++i) {
    if (names[i] == name) return static_cast<E>(i);
  }
  return std::nullopt;
}

}  // namespace

std::string_view wireName(PellucorOperation operation) noexcept {
  return kOperationNames[static_cast<std::size_t>(operation)];
}
std::string_view wireName(KeyModifier modifier) noexcept {
  return kModifierNames[static_cast<std::size_t>(modifier)];
}
std::string_view wireName(PhysicalKey key) noexcept { return kKeyNames[static_cast<std::size_t>(key)]; }

std::optional<PellucorOperation> operationFromWireName(std::string_view name) noexcept {
  return fromName<PellucorOperation>(kOperationNames, name);
}
std::optional<KeyModifier> modifierFromWireName(std::string_view name) noexcept {
  return fromName<KeyModifier>(kModifierNames, name);
}
std::optional<PhysicalKey> physicalKeyFromWireName(std::string_view name) noexcept {
  return fromName<PhysicalKey>(kKeyNames, name);
}

const std::array<PellucorOperation, 5>& allOperations() noexcept { return kOperations; }
const std::array<KeyModifier, 4>& allModifiers() noexcept { return kModifiers; }
const std::array<PhysicalKey, kPhysicalKeyCount>& allPhysicalKeys() noexcept { return kKeys; }

}  // namespace pellucor
