#include "platform/macos/process_table_macos.hpp"

#include <libproc.h>
#include <sys/proc_info.h>
#include <unistd.h>

#include <array>
#include <cstring>

namespace pellucor::platform::macos {

std::int32_t MacProcessTable::parentProcessID() const { return getppid(); }

std::optional<std::string> MacProcessTable::executablePath(std::int32_t pid) const {
  std::array<char, PROC_PIDPATHINFO_MAXSIZE> buffer{};
  const int length = proc_pidpath(pid, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
  if (length < 1) return std::nullopt;
  // The bytes up to the first zero byte, whatever length the call reports.
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

std::optional<std::int32_t> MacProcessTable::parentOf(std::int32_t pid) const {
  proc_bsdinfo info{};
  const int size = proc_pidinfo(pid, PROC_PIDTBSDINFO, 0, &info, sizeof info);
  if (size != static_cast<int>(sizeof info)) return std::nullopt;
  return static_cast<std::int32_t>(info.pbi_ppid);
}

}  // namespace pellucor::platform::macos
