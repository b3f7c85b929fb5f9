#include "platform/simulated/file_contents.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>

namespace pellucor::simulated {

std::string readFileContents(const std::string& path) {
  const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) throw std::system_error(errno, std::generic_category());
  std::string contents;
  std::array<char, 65536> buffer{};
  for (;;) {
    const ssize_t got = ::read(file, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int reason = errno;
      ::close(file);
      throw std::system_error(reason, std::generic_category());
    }
    if (got == 0) break;
    contents.append(buffer.data(), static_cast<std::size_t>(got));
  }
  ::close(file);
  return contents;
}

}  // namespace pellucor::simulated
