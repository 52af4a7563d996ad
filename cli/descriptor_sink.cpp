#include "descriptor_sink.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace vorpel {

FileStatus DescriptorSink::Write(std::span<char> block) {
  // Some systems refuse single writes above 2 GiB; blocks are far smaller
  // in practice, but the loop keeps every size correct.
  constexpr std::size_t kMaxChunk = std::size_t{1} << 30;
  const char* next = block.data();
  std::size_t left = block.size();
  while (left > 0) {
    const ssize_t put = ::write(fd_, next, std::min(left, kMaxChunk));
    if (put < 0) {
      if (errno == EINTR) continue;
      return FileError{shown_name_, std::error_code(errno, std::generic_category())};
    }
    if (put == 0) {
      // Nothing taken and no reason given: stop rather than spin.
      return FileError{shown_name_, std::make_error_code(std::errc::io_error)};
    }
    next += put;
    left -= static_cast<std::size_t>(put);
  }
  return std::nullopt;
}

}  // namespace vorpel
