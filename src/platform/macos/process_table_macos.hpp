#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/process_table.hpp"

namespace pellucor::platform::macos {

class MacProcessTable final : public ProcessTableService {
 public:
  // getppid.
  std::int32_t parentProcessID() const override;
  // proc_pidpath with a PROC_PIDPATHINFO_MAXSIZE buffer.
  std::optional<std::string> executablePath(std::int32_t pid) const override;
  // proc_pidinfo(pid, PROC_PIDTBSDINFO); nothing unless the whole record came
  // back (the kernel refuses a process of another user unless we are root).
  std::optional<std::int32_t> parentOf(std::int32_t pid) const override;
};

}  // namespace pellucor::platform::macos
