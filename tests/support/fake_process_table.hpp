#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/process_table.hpp"

namespace pellucor::testing {

// A process table held in memory. The helper's parent is a sequence of
// answers: the first question gets the first, the next the next, and the last
// answers every later question, so a test can let the parent die between
// two questions.
class FakeProcessTable final : public platform::ProcessTableService {
 public:
  struct Process {
    std::optional<std::string> path;  // nothing: the path lookup fails
    std::optional<std::int32_t> parentPID;  // nothing: the information lookup fails
  };

  std::map<std::int32_t, Process> processes;

  // Starts a new sequence of answers (at least one) for the helper's parent.
  void answerParentWith(std::vector<std::int32_t> answers) {
    parentAnswers_ = std::move(answers);
    parentQuestions_ = 0;
  }
  // How often the parent was asked for since the sequence began.
  int parentQuestions() const { return parentQuestions_; }

  std::int32_t parentProcessID() const override {
    const std::size_t index = std::min(static_cast<std::size_t>(parentQuestions_), parentAnswers_.size() - 1);
    ++parentQuestions_;
    return parentAnswers_.at(index);
  }
  std::optional<std::string> executablePath(std::int32_t pid) const override {
    const auto found = processes.find(pid);
    return found == processes.end() ? std::nullopt : found->second.path;
  }
  std::optional<std::int32_t> parentOf(std::int32_t pid) const override {
    const auto found = processes.find(pid);
    return found == processes.end() ? std::nullopt : found->second.parentPID;
  }

 private:
  std::vector<std::int32_t> parentAnswers_{1};
  mutable int parentQuestions_ = 0;
};

}  // namespace pellucor::testing
