#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "wire/pellucor_error.hpp"

namespace pellucor::testing {

// "ok" when `work` returns, else "code: message" of the PellucorError it
// throws. Every error of request intake is not retryable; that is checked on
// the way. Any other exception escapes and fails the test on its own.
template <typename Work>
std::string intakeOutcome(Work&& work) {
  try {
    std::forward<Work>(work)();
    return "ok";
  } catch (const PellucorError& error) {
    EXPECT_FALSE(error.retryable) << error.code;
    return error.code + ": " + error.message;
  }
}

}  // namespace pellucor::testing
