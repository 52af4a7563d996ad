#pragma once

#include <span>
#include <string>
#include <utility>

#include "byte_sink.h"
#include "file_error.h"

namespace vorpel {

// Writes blocks to a file descriptor it does not own, such as standard
// output. A failure (a closed pipe with SIGPIPE ignored, a full disk) comes
// back as an error naming shown_name, since a descriptor has no path.
//
// Example:
//
//     DescriptorSink output(STDOUT_FILENO, "standard output");
//     if (auto error = output.Write(block)) ...
class DescriptorSink final : public ByteSink {
 public:
  DescriptorSink(int fd, std::string shown_name) : fd_(fd), shown_name_(std::move(shown_name)) {}

  // Writes all of block (see WriteAll).
  FileStatus Write(std::span<char> block) override;

 private:
  int fd_;
  std::string shown_name_;
};

}  // namespace vorpel
