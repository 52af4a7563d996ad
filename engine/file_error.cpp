#include "file_error.h"

#include <new>

namespace vorpel {
namespace {

class FileCategoryImpl final : public std::error_category {
 public:
  const char* name() const noexcept override { return "vorpel-file"; }
  std::string message(int value) const override {
    switch (static_cast<FileErrc>(value)) {
      case FileErrc::NotRegularFile: return "Not a regular file";
      case FileErrc::TargetExists: return "The file exists and may not be replaced";
      case FileErrc::EmptyPath: return "No file name was given";
      case FileErrc::NothingToDraw: return "There are no sequences to draw from";
      case FileErrc::IsFifo: return "Is a named pipe (FIFO), not a regular file";
      case FileErrc::IsTerminal: return "Is a terminal (character device), not a regular file";
      case FileErrc::IsCharacterDevice: return "Is a character device, not a regular file";
      case FileErrc::IsBlockDevice: return "Is a block device, not a regular file";
      case FileErrc::IsSocket: return "Is a socket, not a regular file";
    }
    return "Unknown error";
  }
};

}  // namespace

const std::error_category& FileCategory() {
  static const FileCategoryImpl category;
  return category;
}

std::error_code make_error_code(FileErrc errc) { return {static_cast<int>(errc), FileCategory()}; }

FileError OutOfMemoryError(std::string_view path) noexcept {
  FileError error{{}, std::make_error_code(std::errc::not_enough_memory)};
  try {
    error.path = path;
  } catch (const std::bad_alloc&) {
    error.path.clear();
  }
  return error;
}

std::string FileError::Describe() const {
  if (path.empty()) return code.message();
  std::string text = path;
  text.append(": ").append(code.message());
  return text;
}

}  // namespace vorpel
