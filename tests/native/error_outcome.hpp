#pragma once

#include <string>
#include <utility>

#include "wire/pellucor_error.hpp"

namespace pellucor::testing {

// "code / message" of the PellucorError that `work` throws, or "succeeded".
// Any other exception escapes and fails the test on its own.
template <typename Work>
std::string failureOf(Work&& work) {
  try {
    std::forward<Work>(work)();
    return "succeeded";
  } catch (const PellucorError& error) {
    return error.code + " / " + error.message;
  }
}

}  // namespace pellucor::testing
