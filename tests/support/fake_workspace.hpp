#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "platform/workspace.hpp"

namespace pellucor::testing {

// The frontmost application as a sequence of answers: the first question gets
// the first, the next the next, and the last answers every later question
// (none at all when the sequence is empty).
class FakeWorkspace final : public platform::WorkspaceService {
 public:
  std::vector<std::optional<platform::RunningApplication>> answers;

  std::size_t questions() const { return questions_; }

  std::optional<platform::RunningApplication> frontmostApplication() const override {
    const std::size_t index = questions_++;
    if (answers.empty()) return std::nullopt;
    return answers[index < answers.size() ? index : answers.size() - 1];
  }

 private:
  mutable std::size_t questions_ = 0;
};

}  // namespace pellucor::testing
