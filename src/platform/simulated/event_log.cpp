#include "platform/simulated/event_log.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <nlohmann/json.hpp>
#include <system_error>

namespace pellucor::simulated {

namespace {

using Json = nlohmann::json;  // std::map members: keys come out sorted

template <typename T>
Json valueOrNull(const std::optional<T>& value) {
  return value ? Json(*value) : Json(nullptr);
}

}  // namespace

EventLog::EventLog(const std::optional<std::string>& path) {
  if (!path) return;
  file_ = ::open(path->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (file_ < 0) throw std::system_error(errno, std::generic_category());
}

EventLog::~EventLog() {
  if (file_ >= 0) ::close(file_);
}

void EventLog::keyEvent(bool keyDown, std::uint16_t keyCode, std::uint64_t flags) {
  append(Json{{"event", keyDown ? "key_down" : "key_up"}, {"key_code", keyCode}, {"flags", flags}}.dump());
}

void EventLog::trustPrompt() { append(Json{{"event", "trust_prompt"}}.dump()); }

void EventLog::capture(std::uint32_t windowID, const platform::CaptureConfiguration& configuration) {
  // Settings that were never made are "default" for the two enumerated ones
  // and null for the others; a value other than the two the helper uses is
  // written as its number.
  Json resolution = "default";
  if (configuration.captureResolution) {
    resolution = *configuration.captureResolution == platform::kCaptureResolutionBest
                     ? Json("best")
                     : Json(*configuration.captureResolution);
  }
  Json pixelFormat = "default";
  if (configuration.pixelFormat) {
    pixelFormat = *configuration.pixelFormat == platform::kPixelFormatBGRA ? Json("BGRA")
                                                                            : Json(*configuration.pixelFormat);
  }
  append(Json{{"event", "capture"},
              {"window_id", windowID},
              {"width", valueOrNull(configuration.width)},
              {"height", valueOrNull(configuration.height)},
              {"shows_cursor", valueOrNull(configuration.showsCursor)},
              {"capture_resolution", resolution},
              {"pixel_format", pixelFormat}}
             .dump());
}

std::vector<std::string> EventLog::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

void EventLog::append(std::string line) {
  std::lock_guard lock(mutex_);
  if (file_ >= 0) {
    // One write per line keeps lines whole even if several processes append
    // to the same file. A failed write cannot be reported to anybody without
    // changing what the simulated helper prints, so the file then simply
    // lacks the event; events() still has it.
    const std::string withNewline = line + "\n";
    std::size_t written = 0;
    while (written < withNewline.size()) {
      const ssize_t result = ::write(file_, withNewline.data() + written, withNewline.size() - written);
      if (result < 0 && errno == EINTR) continue;
      if (result <= 0) break;
      written += static_cast<std::size_t>(result);
    }
  }
  lines_.push_back(std::move(line));
}

}  // namespace pellucor::simulated
