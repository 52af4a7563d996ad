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
      case FileErrc::NotOnDisk: return "The new text is in place but may not be on disk";
      case FileErrc::NoHomeFolder:
        return "No home folder for the intermediate file: HOME is not an absolute path "
               "and the password database names none";
      case FileErrc::NotOwnFolder:
        return "Not a folder of this user's own (it is a link, a file or another user's "
               "folder), so the intermediate file is not kept there";
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
  std::string text = path;
  if (!text.empty()) text.append(": ");
  text.append(code.message());
  if (cause) text.append(" (").append(cause.message()).append(")");
  return text;
}

}  // namespace vorpel
