#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace pellucor {

// The five operations, in declaration order.
enum class PellucorOperation : std::uint8_t {
  observeAX,
  enumerateTargetWindows,
  captureTargetWindow,
  key,
  hotkey,
};

// The four modifier keys, in declaration order.
enum class KeyModifier : std::uint8_t { command, shift, option, control };

// The sixty physical keys, in declaration order: letters, digits, named keys.
enum class PhysicalKey : std::uint8_t {
  a, b, c, d, e, f, g, h, i, j, k, l, m, n, o, p, q, r, s, t, u, v, w, x, y, z,
  zero, one, two, three, four, five, six, seven, eight, nine,
  space, returnKey, tab, escape, deleteKey, left, right, up, down, home, end, pageUp,
  pageDown, minus, equal, leftBracket, rightBracket, backslash, semicolon, quote, comma,
  period, slash, grave,
};

inline constexpr std::size_t kPhysicalKeyCount = 60;

// Wire names. Construction from a wire name yields nothing for any text that is
// not exactly one of them (case-sensitive, no trimming).
std::string_view wireName(PellucorOperation operation) noexcept;
std::string_view wireName(KeyModifier modifier) noexcept;
std::string_view wireName(PhysicalKey key) noexcept;

std::optional<PellucorOperation> operationFromWireName(std::string_view name) noexcept;
std::optional<KeyModifier> modifierFromWireName(std::string_view name) noexcept;
std::optional<PhysicalKey> physicalKeyFromWireName(std::string_view name) noexcept;

// Every case, in declaration order.
const std::array<PellucorOperation, 5>& allOperations() noexcept;
const std::array<KeyModifier, 4>& allModifiers() noexcept;
const std::array<PhysicalKey, kPhysicalKeyCount>& allPhysicalKeys() noexcept;

}  // namespace pellucor
