#pragma once

#include <span>
#include <string>

#include "text_file_access.h"

namespace vorpel {

// Writes blocks to an open file descriptor (standard output), retrying
// short and interrupted writes. A failure (a closed pipe with SIGPIPE
// ignored, a full disk) comes back as an error naming shown_name.
class DescriptorSink final : public ByteSink {
 public:
  DescriptorSink(int fd, std::string shown_name) : fd_(fd), shown_name_(std::move(shown_name)) {}
  FileStatus Write(std::span<char> block) override;

 private:
  int fd_;
  std::string shown_name_;
};

}  // namespace vorpel
