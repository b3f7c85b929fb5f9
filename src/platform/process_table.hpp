#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pellucor::platform {

// The kernel's process table.
class ProcessTableService {
 public:
  virtual ~ProcessTableService() = default;
  // The parent process identifier of this process (getppid).
  virtual std::int32_t parentProcessID() const = 0;
  // The executable path of `pid`: the raw bytes up to the first zero byte, as
  // proc_pidpath fills its 4096-byte buffer (not necessarily UTF-8); nothing
  // when the call reports a length below 1.
  virtual std::optional<std::string> executablePath(std::int32_t pid) const = 0;
  // The parent of `pid` from its BSD information record (proc_pidinfo with
  // flavour 3); nothing when the call does not return the whole record.
  virtual std::optional<std::int32_t> parentOf(std::int32_t pid) const = 0;
};

}  // namespace pellucor::platform
