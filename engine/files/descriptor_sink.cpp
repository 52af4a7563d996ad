#include "descriptor_sink.h"

#include "posix_file.h"

namespace vorpel {

FileStatus DescriptorSink::Write(std::span<char> block) {
  if (const std::error_code error = WriteAll(fd_, block)) return FileError{shown_name_, error};
  return std::nullopt;
}

}  // namespace vorpel
