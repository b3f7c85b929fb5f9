#pragma once

#include <cmath>
#include <limits>
#include <optional>

namespace pellucor {

// `value` truncated toward zero as an Int; nothing when it is not finite or the
// type cannot hold it. Geometry and numbers read from other processes enter
// results through this, so that no conversion is ever undefined.
template <typename Int>
std::optional<Int> truncatedTo(double value) noexcept {
  using Limits = std::numeric_limits<Int>;
  const double truncated = std::trunc(value);
  // Both bounds are zero or powers of two, held exactly by a double; the upper
  // one is the first value beyond the type.
  const double lowest = static_cast<double>(Limits::min());
  const double beyond = std::ldexp(1.0, Limits::digits);
  if (!(truncated >= lowest && truncated < beyond)) return std::nullopt;  // also NaN and infinities
  return static_cast<Int>(truncated);
}

}  // namespace pellucor
