#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/screen_capture.hpp"

namespace pellucor::simulated {

// The side effects of the simulated system, in the order they happened: one
// compact JSON object per event, members in ascending key order. Each event
// is also appended to the events file, when there is one, with a single
// write(2) as soon as it happens, so that the file is complete even when the
// process ends abruptly right after. Safe to use from any thread.
class EventLog {
 public:
  // Opens `path` for appending, creating it when missing. Throws
  // std::system_error when it cannot be opened.
  explicit EventLog(const std::optional<std::string>& path);
  ~EventLog();
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;

  void keyEvent(bool keyDown, std::uint16_t keyCode, std::uint64_t flags);
  void trustPrompt();
  void capture(std::uint32_t windowID, const platform::CaptureConfiguration& configuration);

  std::vector<std::string> lines() const;

 private:
  void append(std::string line);

  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  int file_ = -1;
};

}  // namespace pellucor::simulated
