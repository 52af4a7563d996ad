#pragma once

#include <span>

#include "file_error.h"

namespace vorpel {

// Where written bytes go: a file, standard output, or a filter in front of
// either. Write may change the bytes of block, so a filter can work in place
// without a copy.
class ByteSink {
 public:
  virtual ~ByteSink() = default;

  // Takes all of block, or returns why it could not.
  virtual FileStatus Write(std::span<char> block) = 0;
};

}  // namespace vorpel
